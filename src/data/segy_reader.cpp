#include "data/segy_reader.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <string_view>
#include <vector>

#include "data/su_format.h"

namespace tavelo::segy {

namespace {

constexpr int64_t kFirstTrace = kTextualHeaderBytes + kBinaryHeaderBytes;
constexpr size_t kCard = 80;
// Bounds on counts read from the file: beyond them the file is damaged.
constexpr int64_t kMaxExtendedTextHeaders = 10000;
constexpr int64_t kMaxExtraTraceHeaders = 1000;
constexpr int kMaxHistoryBlocks = 100;

uint16_t Load16(const unsigned char* p, ByteOrder order) {
  return order == ByteOrder::Little ? static_cast<uint16_t>(p[0] | (p[1] << 8))
                                    : static_cast<uint16_t>((p[0] << 8) | p[1]);
}

uint32_t Load24(const unsigned char* p, ByteOrder order) {
  const uint32_t b0 = p[0], b1 = p[1], b2 = p[2];
  return order == ByteOrder::Little ? (b0 | (b1 << 8) | (b2 << 16)) : ((b0 << 16) | (b1 << 8) | b2);
}

uint32_t Load32(const unsigned char* p, ByteOrder order) {
  const uint32_t b0 = p[0], b1 = p[1], b2 = p[2], b3 = p[3];
  return order == ByteOrder::Little ? (b0 | (b1 << 8) | (b2 << 16) | (b3 << 24))
                                    : ((b0 << 24) | (b1 << 16) | (b2 << 8) | b3);
}

uint64_t Load64(const unsigned char* p, ByteOrder order) {
  const uint64_t first = Load32(p, order), second = Load32(p + 4, order);
  return order == ByteOrder::Little ? (first | (second << 32)) : ((first << 32) | second);
}

void Store16(unsigned char* p, uint16_t v) {
  p[0] = static_cast<unsigned char>(v & 0xFF);
  p[1] = static_cast<unsigned char>(v >> 8);
}

void Store32(unsigned char* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>((v >> (8 * i)) & 0xFF);
}

template <typename To, typename From>
To Bits(From from) {
  static_assert(sizeof(To) == sizeof(From));
  To to;
  std::memcpy(&to, &from, sizeof to);
  return to;
}

// A double as the nearest float; beyond the float range, infinity (drawn as
// 0 like every non-finite sample) instead of an undefined conversion.
float NarrowToFloat(double v) {
  if (std::isnan(v)) return std::numeric_limits<float>::quiet_NaN();
  if (v > std::numeric_limits<float>::max()) return std::numeric_limits<float>::infinity();
  if (v < -std::numeric_limits<float>::max()) return -std::numeric_limits<float>::infinity();
  return static_cast<float>(v);
}

// EBCDIC (code page 037) to ASCII for the printable characters; 0 for the
// rest. Cent, not and broken bar become '[', '^' and '|', as usual for
// SEG-Y text.
constexpr std::array<char, 256> MakeEbcdicTable() {
  std::array<char, 256> t{};
  t[0x40] = ' ';
  const char* punct1 = "[.<(+|&";  // 0x4A..0x50
  for (int i = 0; i < 7; ++i) t[0x4A + i] = punct1[i];
  const char* punct2 = "!$*);^-/";  // 0x5A..0x61
  for (int i = 0; i < 8; ++i) t[0x5A + i] = punct2[i];
  const char* punct3 = "|,%_>?";  // 0x6A..0x6F
  for (int i = 0; i < 6; ++i) t[0x6A + i] = punct3[i];
  const char* punct4 = "`:#@'=\"";  // 0x79..0x7F
  for (int i = 0; i < 7; ++i) t[0x79 + i] = punct4[i];
  for (int i = 0; i < 9; ++i) {
    t[0x81 + i] = static_cast<char>('a' + i);
    t[0x91 + i] = static_cast<char>('j' + i);
    t[0xC1 + i] = static_cast<char>('A' + i);
    t[0xD1 + i] = static_cast<char>('J' + i);
  }
  for (int i = 0; i < 8; ++i) {
    t[0xA2 + i] = static_cast<char>('s' + i);
    t[0xE2 + i] = static_cast<char>('S' + i);
  }
  for (int i = 0; i < 10; ++i) t[0xF0 + i] = static_cast<char>('0' + i);
  t[0xA1] = '~';
  t[0xBA] = '[';
  t[0xBB] = ']';
  t[0xC0] = '{';
  t[0xD0] = '}';
  t[0xE0] = '\\';
  t[0x25] = '\n';
  t[0x15] = '\n';
  t[0x0D] = '\r';
  return t;
}
constexpr std::array<char, 256> kEbcdic = MakeEbcdicTable();

char FromAscii(unsigned char c) {
  if ((c >= 0x20 && c < 0x7F) || c == '\n' || c == '\r' || c == '\t') return static_cast<char>(c);
  return 0;
}

char Decode(unsigned char c, bool ebcdic) { return ebcdic ? kEbcdic[c] : FromAscii(c); }

size_t PrintableCount(const unsigned char* text, size_t size, bool ebcdic) {
  size_t n = 0;
  for (size_t i = 0; i < size; ++i)
    if (Decode(text[i], ebcdic) != 0) ++n;
  return n;
}

bool ReadTextualHeader(const ByteSource& source, std::array<unsigned char, kTextualHeaderBytes>& text) {
  return source.Read(0, text.data(), text.size());
}

bool IsEbcdic(const std::array<unsigned char, kTextualHeaderBytes>& text) {
  return PrintableCount(text.data(), text.size(), true) >=
         PrintableCount(text.data(), text.size(), false);
}

// The cards of one 3200-byte block, appended to `out`.
void AppendCards(const unsigned char* block, bool ebcdic, std::vector<std::string>& lines) {
  for (size_t card = 0; card < kTextualHeaderBytes / kCard; ++card) {
    std::string line;
    for (size_t i = 0; i < kCard; ++i) {
      const char c = Decode(block[card * kCard + i], ebcdic);
      line += (c == 0 || c == '\n' || c == '\r' || c == '\t') ? ' ' : c;
    }
    while (!line.empty() && line.back() == ' ') line.pop_back();
    lines.push_back(std::move(line));
  }
}

// The end stanza, in either encoding: writers do not always keep the
// primary header's.
bool HoldsEndStanza(const unsigned char* block) {
  for (const bool ebcdic : {true, false}) {
    std::string text(kTextualHeaderBytes, ' ');
    for (size_t i = 0; i < text.size(); ++i) {
      const char c = Decode(block[i], ebcdic);
      if (c != 0) text[i] = c;
    }
    if (text.find("((SEG: EndText))") != std::string::npos ||
        text.find("((SEG:EndText))") != std::string::npos)
      return true;
  }
  return false;
}

// Byte order: revision 2's order word when it is there, else the order in
// which the format code is one this reader knows.
std::optional<ByteOrder> OrderOf(const unsigned char* binary) {
  const uint32_t word = Load32(binary + 96, ByteOrder::Big);
  if (word == 0x01020304u) return ByteOrder::Big;
  if (word == 0x04030201u) return ByteOrder::Little;
  if (BytesPerSample(Load16(binary + 24, ByteOrder::Big)) > 0) return ByteOrder::Big;
  if (BytesPerSample(Load16(binary + 24, ByteOrder::Little)) > 0) return ByteOrder::Little;
  return std::nullopt;
}

// The major revision is one byte (3501); some writers store the revision as
// a 16-bit word in the file's order, which puts it in the other byte.
int RevisionOf(const unsigned char* binary) {
  const int first = binary[300], second = binary[301];
  if (first == 1 || first == 2) return first;
  if (second == 1 || second == 2) return second;
  return 0;
}

// Extended textual headers before the first trace: the count of revision 1
// and 2, or, for -1, as many blocks as run up to the end stanza.
std::optional<int64_t> ExtendedTextHeaders(const ByteSource& source, const unsigned char* binary,
                                           const Layout& layout) {
  if (layout.revision < 1) return 0;
  const int16_t count = Bits<int16_t>(Load16(binary + 304, layout.order));
  if (count >= 0) return count;
  if (count != -1) return 0;  // no meaning given to other negative counts
  std::array<unsigned char, kTextualHeaderBytes> block{};
  for (int64_t n = 0; n < kMaxExtendedTextHeaders; ++n) {
    if (!source.Read(kFirstTrace + n * kTextualHeaderBytes, block.data(), block.size()))
      return std::nullopt;
    if (HoldsEndStanza(block.data())) return n + 1;
  }
  return std::nullopt;
}

LayoutOrProblem Problem(std::string why) { return {std::nullopt, std::move(why)}; }

std::string Text(int64_t v) { return std::to_string(v); }

// ns and dt of the binary header, each falling back to the first trace
// header when it is 0. An empty result names the problem in `problem`.
bool ReadSamplesAndInterval(const ByteSource& source, const unsigned char* binary, Layout& layout,
                            std::string& problem) {
  int64_t ns = Bits<int16_t>(Load16(binary + 20, layout.order));
  if (layout.revision >= 2) {
    const uint32_t extended = Load32(binary + 68, layout.order);
    if (extended != 0) ns = extended;
  }
  std::array<unsigned char, kTraceHeaderBytes> trace{};
  const bool haveTrace = source.Read(layout.firstTrace, trace.data(), trace.size());
  if (ns == 0 && haveTrace) ns = Bits<int16_t>(Load16(trace.data() + su::kNs.offset, layout.order));
  if (ns == 0) {
    problem = "has 0 samples per trace";
    return false;
  }
  if (ns < 0) {
    problem = "has " + Text(ns) + " samples per trace";
    return false;
  }
  if (ns > kMaxSamples) {
    problem = "has more samples per trace (" + Text(ns) + ") than can be plotted (" +
              Text(kMaxSamples) + ")";
    return false;
  }
  layout.samples = static_cast<int32_t>(ns);
  int32_t dt = Bits<int16_t>(Load16(binary + 16, layout.order));
  if (dt <= 0 && haveTrace) dt = Bits<int16_t>(Load16(trace.data() + su::kDt.offset, layout.order));
  layout.interval = dt > 0 ? dt : 0;
  return true;
}

}  // namespace

float IbmToFloat(uint32_t bits) {
  const uint32_t fraction = bits & 0x00FFFFFFu;
  if (fraction == 0) return (bits & 0x80000000u) ? -0.0f : 0.0f;
  const int exponent = static_cast<int>((bits >> 24) & 0x7F) - 64;
  const double magnitude = std::ldexp(static_cast<double>(fraction), 4 * exponent - 24);
  return NarrowToFloat((bits & 0x80000000u) ? -magnitude : magnitude);
}

int BytesPerSample(int format) {
  switch (format) {
    case 1: case 2: case 5: case 10: return 4;
    case 3: case 11: return 2;
    case 6: case 9: case 12: return 8;
    case 7: case 15: return 3;
    case 8: case 16: return 1;
    default: return 0;
  }
}

bool LooksLikeSegy(const ByteSource& source) {
  std::array<unsigned char, kTextualHeaderBytes> text{};
  if (!ReadTextualHeader(source, text)) return false;
  // Nine characters in ten printable: a trace header of binary words and
  // floats never comes near that in either encoding.
  const size_t needed = text.size() * 9 / 10;
  return PrintableCount(text.data(), text.size(), true) >= needed ||
         PrintableCount(text.data(), text.size(), false) >= needed;
}

LayoutOrProblem ReadLayout(const ByteSource& source) {
  std::array<unsigned char, kTextualHeaderBytes> text{};
  if (!ReadTextualHeader(source, text)) return Problem("has no textual header");
  std::array<unsigned char, kBinaryHeaderBytes> binary{};
  if (!source.Read(kTextualHeaderBytes, binary.data(), binary.size()))
    return Problem("has a textual header only");

  Layout layout;
  layout.ebcdic = IsEbcdic(text);
  const std::optional<ByteOrder> order = OrderOf(binary.data());
  if (!order)
    return Problem("has an unknown sample format code " +
                   Text(Bits<int16_t>(Load16(binary.data() + 24, ByteOrder::Big))));
  layout.order = *order;
  layout.format = Load16(binary.data() + 24, layout.order);
  layout.bytesPerSample = BytesPerSample(layout.format);
  if (layout.bytesPerSample == 0)
    return Problem("has an unknown sample format code " + Text(layout.format));
  layout.revision = RevisionOf(binary.data());

  const std::optional<int64_t> extended = ExtendedTextHeaders(source, binary.data(), layout);
  if (!extended) return Problem("has extended textual headers without their end");
  layout.extendedTextHeaders = static_cast<int>(*extended);
  layout.firstTrace = kFirstTrace + *extended * kTextualHeaderBytes;
  layout.traceHeaderBytes = kTraceHeaderBytes;
  if (layout.revision >= 2) {
    const uint64_t first = Load64(binary.data() + 320, layout.order);
    if (first >= static_cast<uint64_t>(kFirstTrace) && first < static_cast<uint64_t>(source.Length()))
      layout.firstTrace = static_cast<int64_t>(first);
    const int32_t extra = Bits<int32_t>(Load32(binary.data() + 306, layout.order));
    if (extra > 0 && extra <= kMaxExtraTraceHeaders)
      layout.traceHeaderBytes = kTraceHeaderBytes * (1 + static_cast<int64_t>(extra));
  }

  std::string problem;
  if (!ReadSamplesAndInterval(source, binary.data(), layout, problem)) return Problem(problem);
  layout.traceBytes = layout.traceHeaderBytes +
                      static_cast<int64_t>(layout.samples) * layout.bytesPerSample;
  const int64_t data = source.Length() - layout.firstTrace;
  if (data < layout.traceBytes) return Problem("is truncated: it holds no whole trace");
  layout.traceCount = data / layout.traceBytes;
  if (layout.traceCount > std::numeric_limits<int32_t>::max())
    return Problem("holds more traces than can be counted");
  layout.truncated = data % layout.traceBytes != 0;
  return {layout, {}};
}

namespace {

// Fills [begin, end) of an SU trace from one SEG-Y trace, converted.
class SuView final : public ByteSource {
 public:
  SuView(std::unique_ptr<ByteSource> file, const Layout& layout)
      : file_(std::move(file)),
        layout_(layout),
        suTraceBytes_(su::TraceBytes(layout.samples)),
        raw_(static_cast<size_t>(layout.samples) * static_cast<size_t>(layout.bytesPerSample)),
        samples_(static_cast<size_t>(layout.samples) * 4) {}

  int64_t Length() const override { return layout_.traceCount * suTraceBytes_; }

  bool Read(int64_t position, void* out, size_t count) const override {
    if (position < 0 || count > static_cast<uint64_t>(Length()) ||
        position > Length() - static_cast<int64_t>(count))
      return false;
    auto* to = static_cast<unsigned char*>(out);
    while (count > 0) {
      const int64_t trace = position / suTraceBytes_;
      const int64_t offset = position % suTraceBytes_;
      const size_t n = static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(count),
                                                             suTraceBytes_ - offset));
      if (offset < su::kHeaderBytes) {
        const size_t inHeader = std::min<size_t>(n, static_cast<size_t>(su::kHeaderBytes - offset));
        if (TouchesSuOwnWord(offset, inHeader) || !LoadHeader(trace)) return false;
        std::memcpy(to, header_.data() + offset, inHeader);
        if (n > inHeader) {
          if (!LoadSamples(trace)) return false;
          std::memcpy(to + inHeader, samples_.data(), n - inHeader);
        }
      } else {
        if (!LoadSamples(trace)) return false;
        std::memcpy(to, samples_.data() + (offset - su::kHeaderBytes), n);
      }
      to += n;
      position += static_cast<int64_t>(n);
      count -= n;
    }
    return true;
  }

 private:
  // d1, the trace interval word and the word at 232 are SU's own.
  static bool TouchesSuOwnWord(int64_t offset, size_t count) {
    const int64_t end = offset + static_cast<int64_t>(count);
    for (const su::HeaderField& f : {su::kD1, su::kD2AsInt, su::kUnassigned232})
      if (offset < f.offset + f.width && f.offset < end) return true;
    return false;
  }

  int64_t TraceStart(int64_t trace) const { return layout_.firstTrace + trace * layout_.traceBytes; }

  bool LoadHeader(int64_t trace) const {
    if (trace == headerTrace_) return true;
    std::array<unsigned char, kTraceHeaderBytes> raw{};
    if (!file_->Read(TraceStart(trace), raw.data(), raw.size())) return false;
    header_.fill(0);
    for (const su::HeaderField& f : su::kAllFields) {
      if (f.type == su::FieldType::Float32 || f.offset == su::kD2AsInt.offset ||
          f.offset == su::kUnassigned232.offset)
        continue;
      if (f.width == 4) Store32(header_.data() + f.offset, Load32(raw.data() + f.offset, layout_.order));
      else Store16(header_.data() + f.offset, Load16(raw.data() + f.offset, layout_.order));
    }
    // ns and dt as the binary header gives them, the same for every trace.
    Store16(header_.data() + su::kNs.offset, static_cast<uint16_t>(layout_.samples));
    Store16(header_.data() + su::kDt.offset, static_cast<uint16_t>(layout_.interval));
    headerTrace_ = trace;
    return true;
  }

  bool LoadSamples(int64_t trace) const {
    if (trace == samplesTrace_) return true;
    if (!file_->Read(TraceStart(trace) + layout_.traceHeaderBytes, raw_.data(), raw_.size()))
      return false;
    const int bytes = layout_.bytesPerSample;
    for (int32_t i = 0; i < layout_.samples; ++i) {
      const float v = Convert(raw_.data() + static_cast<size_t>(i) * static_cast<size_t>(bytes));
      Store32(samples_.data() + static_cast<size_t>(i) * 4, Bits<uint32_t>(v));
    }
    samplesTrace_ = trace;
    return true;
  }

  float Convert(const unsigned char* p) const {
    const ByteOrder o = layout_.order;
    switch (layout_.format) {
      case 1: return IbmToFloat(Load32(p, o));
      case 2: return static_cast<float>(Bits<int32_t>(Load32(p, o)));
      case 3: return static_cast<float>(Bits<int16_t>(Load16(p, o)));
      case 5: return Bits<float>(Load32(p, o));
      case 6: return NarrowToFloat(Bits<double>(Load64(p, o)));
      case 7: {
        const uint32_t v = Load24(p, o);
        return static_cast<float>((v & 0x800000u) ? static_cast<int32_t>(v) - 0x1000000 : static_cast<int32_t>(v));
      }
      case 8: return static_cast<float>(static_cast<int8_t>(p[0]));
      case 9: return static_cast<float>(Bits<int64_t>(Load64(p, o)));
      case 10: return static_cast<float>(Load32(p, o));
      case 11: return static_cast<float>(Load16(p, o));
      case 12: return static_cast<float>(Load64(p, o));
      case 15: return static_cast<float>(Load24(p, o));
      case 16: return static_cast<float>(p[0]);
      default: return 0.0f;
    }
  }

  std::unique_ptr<ByteSource> file_;
  Layout layout_;
  int64_t suTraceBytes_;
  mutable std::array<unsigned char, su::kHeaderBytes> header_{};
  mutable int64_t headerTrace_ = -1;
  mutable std::vector<unsigned char> raw_;
  mutable std::vector<unsigned char> samples_;
  mutable int64_t samplesTrace_ = -1;
};

}  // namespace

std::unique_ptr<ByteSource> SuViewOf(std::unique_ptr<ByteSource> file, const Layout& layout) {
  return std::make_unique<SuView>(std::move(file), layout);
}

std::string TextualHeaderText(const ByteSource& source) {
  std::array<unsigned char, kTextualHeaderBytes> text{};
  if (!ReadTextualHeader(source, text)) return {};
  const bool ebcdic = IsEbcdic(text);
  std::vector<std::string> lines;
  AppendCards(text.data(), ebcdic, lines);
  const LayoutOrProblem found = ReadLayout(source);
  if (found.layout) {
    const int blocks = std::min(found.layout->extendedTextHeaders, kMaxHistoryBlocks);
    for (int n = 0; n < blocks; ++n) {
      if (!source.Read(kFirstTrace + n * kTextualHeaderBytes, text.data(), text.size())) break;
      AppendCards(text.data(), ebcdic, lines);
    }
  }
  while (!lines.empty() && lines.back().empty()) lines.pop_back();
  std::string out;
  for (const std::string& line : lines) out += line + "\r\n";
  return out;
}

FileCheck CheckFile(const std::string& path) {
  const std::unique_ptr<ByteSource> source = OpenFileSource(path);
  if (!source || !LooksLikeSegy(*source)) return {};
  LayoutOrProblem found = ReadLayout(*source);
  return {true, found.layout, std::move(found.problem)};
}

std::optional<std::string> SegyTextualHeader(const std::string& path) {
  const std::unique_ptr<ByteSource> source = OpenFileSource(path);
  if (!source || !LooksLikeSegy(*source)) return std::nullopt;
  return TextualHeaderText(*source);
}

}  // namespace tavelo::segy
