#pragma once
// The SEG-Y reader's fuzz target, included by targets.h. Input: 2 bytes of
// build options (OptionsFromBits), one byte of framing, then the file. With
// framing bit 0 set the rest is the whole file; otherwise it is the binary
// header and traces behind a textual header the target supplies (EBCDIC
// with bit 1, else ASCII), so mutations go to the parts that are read as
// numbers.

#include <cstdint>
#include <string>
#include <vector>

#include "byte_reader.h"
#include "core_run.h"
#include "data/byte_source.h"
#include "data/segy_reader.h"
#include "data/su_reader.h"

namespace tavelo::reliability {

namespace detail {

inline std::string TextualHeader(bool ebcdic) {
  std::string text;
  for (int card = 1; card <= 40; ++card) {
    std::string line = "C" + std::string(card < 10 ? " " : "") + std::to_string(card) + " FUZZ LINE";
    line.resize(80, ' ');
    text += line;
  }
  if (ebcdic) {
    // The few characters used: blank, digits, capitals.
    for (char& c : text) {
      if (c == ' ') c = static_cast<char>(0x40);
      else if (c >= '0' && c <= '9') c = static_cast<char>(0xF0 + (c - '0'));
      else if (c >= 'A' && c <= 'I') c = static_cast<char>(0xC1 + (c - 'A'));
      else if (c >= 'J' && c <= 'R') c = static_cast<char>(0xD1 + (c - 'J'));
      else if (c >= 'S' && c <= 'Z') c = static_cast<char>(0xE2 + (c - 'S'));
    }
  }
  return text;
}

// What the reader promises for any bytes: a layout that fits the file, an
// SU view of exactly its whole traces, or a reason.
inline void CheckSegyReader(const std::string& bytes) {
  const std::unique_ptr<ByteSource> source = MemorySource(bytes);
  if (!segy::LooksLikeSegy(*source)) return;
  const segy::LayoutOrProblem found = segy::ReadLayout(*source);
  const std::optional<SuReader> reader = SuReader::FromSource(MemorySource(bytes));
  const std::string text = segy::TextualHeaderText(*source);
  if (text.size() > 101u * 40u * 82u) Fail("segy", "a textual header text longer than its cards");
  if (!found.layout) {
    if (found.problem.empty()) Fail("segy", "refused without a reason");
    if (reader) Fail("segy", "a refused file was opened");
    return;
  }
  const segy::Layout& l = *found.layout;
  if (l.samples < 1 || l.samples > segy::kMaxSamples) Fail("segy", "samples out of range");
  if (l.traceCount < 1) Fail("segy", "a layout without a trace");
  if (l.firstTrace + l.traceCount * l.traceBytes > static_cast<int64_t>(bytes.size()))
    Fail("segy", "traces beyond the end of the file");
  if (!reader) Fail("segy", "a readable layout that does not open");
  const int64_t suTrace = su::TraceBytes(l.samples);
  if (reader->Length() != l.traceCount * suTrace) Fail("segy", "the SU view is not its whole traces");
  if (reader->ReadHeaderInt(0, 0, su::kNs) != l.samples) Fail("segy", "ns of the view differs");
  std::vector<float> samples(static_cast<size_t>(l.samples));
  for (int64_t t : {int64_t{0}, l.traceCount - 1}) {
    if (!reader->ReadSamples(t, suTrace, samples)) Fail("segy", "a whole trace cannot be read");
    if (!reader->ReadHeaderInt(t, suTrace, su::kCdp)) Fail("segy", "a shared word cannot be read");
    if (reader->ReadHeaderInt(t, suTrace, su::kD2AsInt)) Fail("segy", "SU's own word read from SEG-Y");
  }
  if (reader->ReadSamples(l.traceCount, suTrace, samples)) Fail("segy", "a trace past the end was read");
}

}  // namespace detail

inline int FuzzSegy(const uint8_t* data, size_t size) {
  struct Setup {
    std::string settings, path;
    Setup() {
      const std::string& work = WorkFolder();
      settings = work + "/settings-segy";
      std::filesystem::create_directories(settings);
      for (const char* name : {"TAVELO3.ini", "Korvane.ini"})
        WritePlain(settings + "/" + name, ReadPlain(std::string(TAVELO_SOURCE_DIR) + "/sample/" + name));
      path = work + "/line.sgy";
    }
  };
  static const Setup setup;
  ByteReader in(data, size);
  const uint16_t bits = in.U16();
  const uint8_t framing = in.Byte();
  std::string bytes(in.Rest());
  if (!(framing & 1)) bytes = detail::TextualHeader(framing & 2) + bytes;

  detail::CheckSegyReader(bytes);

  WritePlain(setup.path, bytes);
  const std::unique_ptr<ByteSource> source = MemorySource(bytes);
  const bool segy = segy::LooksLikeSegy(*source);
  const bool readable = segy && segy::ReadLayout(*source).layout.has_value();
  const BuildResult result = BuildPage(setup.path, setup.settings, OptionsFromBits(bits));
  switch (result.outcome) {
    case Outcome::Refused:
      if (readable) Fail("segy", "a readable SEG-Y file was refused: " + result.message);
      if (segy && result.message.rfind("SEG-Y file ", 0) != 0)
        Fail("segy", "a SEG-Y file refused without its reason: " + result.message);
      break;
    case Outcome::Stopped:
      if (result.message.empty()) Fail("segy", "stopped without a reason");
      break;
    case Outcome::NoPage:
      Fail("segy", "the build ended without a page and without a reason");
    case Outcome::Page:
      if (segy && !readable) Fail("segy", "an unreadable SEG-Y file was built");
      break;
  }
  return 0;
}

}  // namespace tavelo::reliability
