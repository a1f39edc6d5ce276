// A SEG-Y file's textual header stands in for the missing history file: in
// the editor at start-up and after "Load an SU file", and on the page.

#include <gtest/gtest.h>

#include "settings/form_fields.h"
#include "support/program_fixture.h"
#include "support/su_writer.h"

namespace tavelo {
namespace {

std::string SegyBytes(const char* name) {
  return test::ReadBytes(std::string(TAVELO_SOURCE_DIR) + "/tests/data/segy/" + name);
}

constexpr const char* kFirstCard = "C 1 CLIENT TAVELO TEST DATA    LINE SEGY-1\r\n";

TEST(SegyHistory, TextualHeaderInTheEditorAtStartAndOnLoading) {
  const std::string dir = test::TempDir();
  const std::string segy = dir + "/line.sgy";
  ASSERT_TRUE(test::WriteBytes(segy, SegyBytes("f1-be.sgy")));
  test::ProgramFixture p;
  p.Start(segy);
  EXPECT_EQ(p.state.editorText.rfind(kFirstCard, 0), 0u) << p.state.editorText;
  EXPECT_TRUE(p.state.editorPath.empty());
  EXPECT_EQ(p.state.su.SamplesPerTrace, 48);
  EXPECT_EQ(p.state.su.TraceCount, 12);

  // "Load an SU file" on an SU file leaves the editor as it is; on a SEG-Y
  // file it brings that file's textual header.
  const std::string su = dir + "/plain.su";
  ASSERT_TRUE(test::WriteBytes(su, SegyBytes("reference.su")));
  p.state.editorText = "my notes";
  p.dialogs.files = {su};
  p.form().Fire(kLoadSuFileButton, FieldEvent::Click);
  EXPECT_EQ(p.state.su.ActiveFilePath, su);
  EXPECT_EQ(p.state.editorText, "my notes");
  const std::string other = dir + "/other.segy";
  ASSERT_TRUE(test::WriteBytes(other, SegyBytes("f5-le.sgy")));
  p.dialogs.files = {other};
  p.form().Fire(kLoadSuFileButton, FieldEvent::Click);
  EXPECT_EQ(p.state.editorText.rfind(kFirstCard, 0), 0u) << p.state.editorText;

  // A history file beside it comes first.
  const std::string third = dir + "/third.sgy";
  ASSERT_TRUE(test::WriteBytes(third, SegyBytes("f2-be.sgy")));
  ASSERT_TRUE(test::WriteBytes(dir + "/third.stxt", "SUSTACK\r\n"));
  test::ProgramFixture q;
  q.Start(third);
  EXPECT_EQ(q.state.editorText, "SUSTACK\r\n");
}

TEST(SegyHistory, PrintedWithoutAskingForABatchFile) {
  const std::string segy = test::TempDir() + "/line.sgy";
  ASSERT_TRUE(test::WriteBytes(segy, SegyBytes("f8-le.sgy")));
  test::ProgramFixture p;
  p.Start(segy);
  p.form().SetValue(kPrintHistory, 1);
  DoDocument(p.state);
  EXPECT_TRUE(p.dialogs.requests.empty()) << "asked for " << p.dialogs.requests[0].title;
  const std::string dump = DumpPage(p.state.page);
  EXPECT_NE(dump.find("c 1 client tavelo test data    line segy-1\\nc 2 written by segyio"), std::string::npos)
      << dump;
}

}  // namespace
}  // namespace tavelo
