#include "settings/profile.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "common/text_encoding.h"
#include "support/temp_folder.h"

namespace tavelo {
namespace {
namespace fs = std::filesystem;

std::string ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

void WriteBytes(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

ProfileFile Parsed(std::string_view bytes) {
  ProfileFile profile;
  profile.LoadFromText(bytes);
  return profile;
}

TEST(ProfileRead, MatchesWithoutCaseAndTrimsValues) {
  ProfileFile profile = Parsed(
      "; written by hand\r\n"
      "[Draw_Parameter]\r\n"
      "Couleur1=32768\r\n"
      "  tavelo4 \t=  5670  \r\n"
      "Orient1=\"  West \"\r\n"
      "Orient2=\"\r\n"
      "Graphical_Prog=\r\n"
      "[ korvane ]\r\n"
      "Langue=F\r\n");
  EXPECT_EQ(profile.Get("draw_parameter", "couleur1", "0"), "32768");
  EXPECT_EQ(profile.Get("DRAW_PARAMETER", "TAVELO4", "0"), "5670");
  EXPECT_EQ(profile.Get("Draw_Parameter", "Orient1", ""), "  West ");
  EXPECT_EQ(profile.Get("Draw_Parameter", "Orient2", ""), "\"");
  EXPECT_EQ(profile.Get("Draw_Parameter", "Graphical_Prog", " "), "");
  EXPECT_EQ(profile.Get("KORVANE", "langue", "E"), "F");
  EXPECT_TRUE(profile.Has("draw_parameter", "GRAPHICAL_PROG"));
  EXPECT_FALSE(profile.Has("draw_parameter", "Langue"));  // other section
  EXPECT_EQ(profile.Get("KORVANE", "Couleur1", "none"), "none");
  EXPECT_EQ(profile.Get("Missing", "Couleur1", "d"), "d");
  EXPECT_FALSE(profile.modified());
}

TEST(ProfileRead, OddLinesAreNeitherKeysNorSections) {
  ProfileFile profile = Parsed(
      "orphan=1\n"
      "[open\n"
      "inside=2\n"
      "[S]\n"
      ";a=3\n"
      "just text\n"
      "=4\n"
      "b=5=6\n");
  EXPECT_FALSE(profile.Has("S", "orphan"));
  EXPECT_FALSE(profile.Has("open", "inside"));
  EXPECT_FALSE(profile.Has("S", ";a"));
  EXPECT_FALSE(profile.Has("S", "a"));
  EXPECT_FALSE(profile.Has("S", ""));
  EXPECT_EQ(profile.Get("S", "b", ""), "5=6");
}

TEST(ProfileRead, FirstOfDuplicatesWins) {
  ProfileFile profile = Parsed(
      "[S]\r\nk=first\r\nK=second\r\n[s]\r\nk=third\r\nonly=later\r\n");
  EXPECT_EQ(profile.Get("S", "k", ""), "first");
  EXPECT_FALSE(profile.Has("S", "only"));

  profile.Set("S", "k", "new");
  profile.Set("S", "only", "x");
  EXPECT_EQ(profile.ToBytes(),
            "[S]\r\nk=new\r\nK=second\r\nonly=x\r\n[s]\r\nk=third\r\nonly=later\r\n");
}

TEST(ProfileWrite, UpdateInPlaceKeepsEverythingElse) {
  const std::string original =
      "; Korvane settings\r\n"
      "\r\n"
      "[KORVANE]\r\n"
      "Langue = F\r\n"
      "  Amplitude1 =  12  ; old\r\n"
      "Amplitude2=7\r\n"
      "\r\n"
      "[Other]\r\n"
      "Amplitude1=untouched\r\n";
  ProfileFile profile = Parsed(original);
  EXPECT_EQ(profile.ToBytes(), original);
  profile.Set("korvane", "Amplitude1", " 69782");
  EXPECT_TRUE(profile.modified());
  EXPECT_EQ(profile.ToBytes(),
            "; Korvane settings\r\n"
            "\r\n"
            "[KORVANE]\r\n"
            "Langue = F\r\n"
            "Amplitude1= 69782\r\n"
            "Amplitude2=7\r\n"
            "\r\n"
            "[Other]\r\n"
            "Amplitude1=untouched\r\n");
  EXPECT_EQ(profile.Get("KORVANE", "amplitude1", ""), "69782");
}

TEST(ProfileWrite, SameValueIsNoChange) {
  ProfileFile profile = Parsed("[S]\r\nline1=1\r\n");
  profile.Set("S", "line1", "1");
  EXPECT_FALSE(profile.modified());
  profile.Set("S", "LINE1", "1");  // spelled differently: rewritten
  EXPECT_TRUE(profile.modified());
  EXPECT_EQ(profile.ToBytes(), "[S]\r\nLINE1=1\r\n");
}

TEST(ProfileWrite, NewKeyGoesAfterTheSectionsLastKey) {
  ProfileFile profile = Parsed(
      "[A]\n"
      "x=1\n"
      "; about B\n"
      "\n"
      "[B]\n"
      "y=2\n");
  profile.Set("A", "z", "3");
  EXPECT_EQ(profile.ToBytes(),
            "[A]\n"
            "x=1\n"
            "z=3\n"
            "; about B\n"
            "\n"
            "[B]\n"
            "y=2\n");
  profile.Set("B", "w", "4");
  EXPECT_EQ(profile.Get("B", "w", ""), "4");
  EXPECT_EQ(profile.ToBytes().substr(profile.ToBytes().size() - 8), "y=2\nw=4\n");
}

TEST(ProfileWrite, NewKeyInSectionWithoutKeys) {
  ProfileFile profile = Parsed("[Empty]\r\n; nothing yet\r\n[Next]\r\n");
  profile.Set("empty", "k", "v");
  EXPECT_EQ(profile.ToBytes(), "[Empty]\r\nk=v\r\n; nothing yet\r\n[Next]\r\n");
}

TEST(ProfileWrite, NewSectionAtTheEnd) {
  ProfileFile profile = Parsed("top=1\n[A]\nx=1");  // no line end at the end
  profile.Set("Draw_Parameter", "tavelo4", "5670");
  EXPECT_EQ(profile.ToBytes(), "top=1\n[A]\nx=1\n[Draw_Parameter]\ntavelo4=5670\n");

  ProfileFile empty;
  empty.Set("Draw_Parameter", "line1", "1");
  empty.Set("Draw_Parameter", "line2", "2");
  empty.Set("KORVANE", "Amplitude1", " 69782");
  EXPECT_EQ(empty.ToBytes(),
            "[Draw_Parameter]\r\nline1=1\r\nline2=2\r\n[KORVANE]\r\nAmplitude1= 69782\r\n");
}

TEST(ProfileWrite, ValuesStayOnTheirLine) {
  ProfileFile profile;
  profile.Set("S", "a", "one\r\nb=injected");
  EXPECT_FALSE(profile.Has("S", "b"));
  EXPECT_EQ(profile.Get("S", "a", ""), "one  b=injected");
}

TEST(ProfileEncoding, Windows1252RoundTrip) {
  const std::string original = "[S]\r\nTitre=Fran\xE7" "ais\r\nEuro=\x80\x81\xFF\r\n";
  ProfileFile profile = Parsed(original);
  EXPECT_EQ(profile.Get("S", "Titre", ""), "Fran\xC3\xA7" "ais");
  EXPECT_EQ(profile.Get("S", "Euro", ""), "\xE2\x82\xAC\xC2\x81\xC3\xBF");
  EXPECT_EQ(profile.ToBytes(), original);

  profile.Set("S", "Orient1", "Ouest \xC3\xA9t\xC3\xA9 \xE4\xB8\xAD");  // "été" and a CJK sign
  EXPECT_EQ(profile.ToBytes(), original + "Orient1=Ouest \xE9t\xE9 ?\r\n");
}

TEST(ProfileEncoding, Utf8StaysUtf8) {
  const std::string original = "\xEF\xBB\xBF[S]\nTitre=Fran\xC3\xA7" "ais\n";
  ProfileFile profile = Parsed(original);
  EXPECT_EQ(profile.Get("S", "Titre", ""), "Fran\xC3\xA7" "ais");
  profile.Set("S", "Orient1", "\xC3\xA9t\xC3\xA9");
  EXPECT_EQ(profile.ToBytes(), original + "Orient1=\xC3\xA9t\xC3\xA9\n");

  // Bytes given as Windows-1252 are held as UTF-8, so the file stays valid.
  profile.Set("S", "Orient2", "\xE9t\xE9");
  EXPECT_EQ(profile.Get("S", "Orient2", ""), "\xC3\xA9t\xC3\xA9");
}

class ProfileOnDisk : public test::TempFolderTest {};

TEST_F(ProfileOnDisk, MissingFileGivesDefaultsAndNoWrite) {
  fs::path path = folder_ / "korvane" / "TAVELO3.ini";
  ProfileFile profile(path.string());
  EXPECT_TRUE(profile.Load());
  EXPECT_EQ(profile.Get("Draw_Parameter", "Large_plot", "2000"), "2000");
  std::string error;
  EXPECT_TRUE(profile.Save(&error));
  EXPECT_FALSE(fs::exists(folder_ / "korvane"));  // nothing changed, nothing written
}

TEST_F(ProfileOnDisk, SaveCreatesTheFolderAndLongValuesSurvive) {
  fs::path path = folder_ / "config" / "korvane" / "TAVELO3.ini";
  const std::string longPath = "/opt/graphics/" + std::string(40, 'p') + "/draw.exe";
  ASSERT_EQ(longPath.size(), 63u);
  {
    ProfileFile profile(path.string());
    ASSERT_TRUE(profile.Load());
    profile.Set("Draw_Parameter", "Graphical_Prog", longPath);
    profile.Set("Draw_Parameter", "tavelo4", "5670");
    std::string error;
    ASSERT_TRUE(profile.Save(&error)) << error;
    EXPECT_FALSE(profile.modified());
  }
  EXPECT_EQ(ReadBytes(path),
            "[Draw_Parameter]\r\nGraphical_Prog=" + longPath + "\r\ntavelo4=5670\r\n");
  ProfileFile again(path.string());
  ASSERT_TRUE(again.Load());
  EXPECT_EQ(again.Get("draw_parameter", "graphical_prog", ""), longPath);
  EXPECT_EQ(again.Get("draw_parameter", "TAVELO4", ""), "5670");
}

TEST_F(ProfileOnDisk, Windows1252FileKeepsItsBytesThroughASave) {
  fs::path path = folder_ / "Korvane.ini";
  const std::string original =
      ";Param\xE8tres\r\n[KORVANE]\r\nLangue=F\r\nAmplitude1= 12\r\nNom=Fran\xE7" "ais\r\n\r\n[Autre]\r\nx=1\r\n";
  WriteBytes(path, original);
  ProfileFile profile(path.string());
  ASSERT_TRUE(profile.Load());
  profile.Set("KORVANE", "Amplitude1", " 69782");
  profile.Set("KORVANE", "Amplitude2", " 1");
  ASSERT_TRUE(profile.Save());
  EXPECT_EQ(ReadBytes(path),
            ";Param\xE8tres\r\n[KORVANE]\r\nLangue=F\r\nAmplitude1= 69782\r\nNom=Fran\xE7" "ais\r\n"
            "Amplitude2= 1\r\n\r\n[Autre]\r\nx=1\r\n");
}

TEST_F(ProfileOnDisk, FailedSaveKeepsTheOldFile) {
  fs::path path = folder_ / "TAVELO3.ini";
  WriteBytes(path, "[S]\r\nk=old\r\n");
  ProfileFile profile(path.string());
  ASSERT_TRUE(profile.Load());
  profile.Set("S", "k", "new");
  // The file is replaced by a folder of the same name before the save.
  fs::remove(path);
  fs::create_directory(path);
  WriteBytes(path / "inside", "keep");
  std::string error;
  EXPECT_FALSE(profile.Save(&error));
  EXPECT_FALSE(error.empty());
  EXPECT_TRUE(profile.modified());
  EXPECT_EQ(ReadBytes(path / "inside"), "keep");

  // A target under a plain file cannot be made either.
  WriteBytes(folder_ / "plain", "plain");
  ProfileFile under((folder_ / "plain" / "x.ini").string());
  EXPECT_TRUE(under.Load());
  under.Set("S", "k", "v");
  EXPECT_FALSE(under.Save());
  EXPECT_EQ(ReadBytes(folder_ / "plain"), "plain");
}

TEST_F(ProfileOnDisk, UnwritableFolderKeepsTheOldFile) {
  if (geteuid() == 0) GTEST_SKIP() << "permissions do not bind the superuser";
  fs::path locked = folder_ / "locked";
  fs::create_directory(locked);
  fs::path path = locked / "TAVELO3.ini";
  WriteBytes(path, "[S]\r\nk=old\r\n");
  ProfileFile profile(path.string());
  ASSERT_TRUE(profile.Load());
  profile.Set("S", "k", "new");
  fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec);
  EXPECT_FALSE(profile.Save());
  fs::permissions(locked, fs::perms::owner_all);
  EXPECT_EQ(ReadBytes(path), "[S]\r\nk=old\r\n");
  EXPECT_EQ(std::distance(fs::directory_iterator(locked), fs::directory_iterator()), 1);
}

TEST_F(ProfileOnDisk, UnreadableFileIsNeverOverwritten) {
  fs::path path = folder_ / "Korvane.ini";
  fs::create_directory(path);
  ProfileFile profile(path.string());
  EXPECT_FALSE(profile.Load());
  EXPECT_EQ(profile.Get("KORVANE", "Langue", "E"), "E");
  profile.Set("KORVANE", "Amplitude1", " 1");
  EXPECT_FALSE(profile.Save());
  EXPECT_TRUE(fs::is_directory(path));
}


// A Korvane.ini that Windows tools saved in UTF-16: read in its own byte
// order, marked or not, and written back in it with its own line ends; the
// keys we add join its section instead of an 8-bit one at the end.
TEST_F(ProfileOnDisk, Utf16FilesStayUtf16InTheirOwnOrderAndLineEnds) {
  const std::string text = "; Korvane \xC3\xA9quipe\r[KORVANE]\rLangue=F\rAmplitude1= 5\r[Other]\rk=v\r";
  struct Case {
    Utf16Order order;
    std::string mark;
  };
  for (const Case& c : {Case{Utf16Order::Little, "\xFF\xFE"}, Case{Utf16Order::Big, "\xFE\xFF"},
                        Case{Utf16Order::Little, ""}}) {
    const fs::path path = folder_ / "Korvane.ini";
    const std::string original = c.mark + Utf8ToUtf16(text, c.order);
    WriteBytes(path, original);
    ProfileFile profile(path.string());
    ASSERT_TRUE(profile.Load());
    EXPECT_EQ(profile.Get("KORVANE", "Langue", "E"), "F");
    EXPECT_EQ(profile.ToBytes(), original);  // unchanged, byte for byte
    profile.Set("KORVANE", "Amplitude1", " 69782");
    profile.Set("KORVANE", "Amplitude2", " 7");
    ASSERT_TRUE(profile.Save());
    const std::string saved = ReadBytes(path);
    ASSERT_EQ(saved.substr(0, c.mark.size()), c.mark);
    std::string back;
    ASSERT_TRUE(Utf16ToUtf8(std::string_view(saved).substr(c.mark.size()), c.order, back));
    EXPECT_EQ(back,
              "; Korvane \xC3\xA9quipe\r[KORVANE]\rLangue=F\rAmplitude1= 69782\rAmplitude2= 7\r"
              "[Other]\rk=v\r");
  }
}

TEST_F(ProfileOnDisk, BrokenUtf16IsLeftAsItIsAndTheSaveSaysSo) {
  const fs::path path = folder_ / "Korvane.ini";
  for (const std::string& bytes :
       {std::string("\xFF\xFE[\0K\0\x01", 7),                 // odd length
        std::string("\xFF\xFE[\0\x00\xDC]\0", 8),             // a lone trailing surrogate
        std::string("\xFE\xFF\xD8\x00\x00\x41", 6)}) {        // a leading one without its pair
    WriteBytes(path, bytes);
    ProfileFile profile(path.string());
    EXPECT_FALSE(profile.Load());
    EXPECT_EQ(profile.Get("KORVANE", "Langue", "E"), "E");
    profile.Set("KORVANE", "Amplitude1", " 1");
    std::string error;
    EXPECT_FALSE(profile.Save(&error));
    EXPECT_NE(error.find(path.string() + ": could not be read safely"), std::string::npos) << error;
    EXPECT_EQ(ReadBytes(path), bytes);
  }
}

}  // namespace
}  // namespace tavelo
