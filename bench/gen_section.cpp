// tavelo_gen: writes synthetic stacked SU lines.
//
//   tavelo_gen --sample [--big-endian] OUT.su
//       the bundled sample line (300 traces, 1000 samples at 2 ms) and,
//       beside it, OUT's base name + ".NMO" (velocity picks) and + ".txt"
//       (processing history).
//   tavelo_gen --traces N --samples M [--dt US] [--big-endian] OUT.su
//       a section of any size for benchmarks, streamed trace by trace.
//
// The output is the same on every run: the noise comes from a fixed seed.
// Every file is written to a temporary file beside it and renamed over the
// target, so an interrupted run never leaves a half file under the real name.

#ifndef _FILE_OFFSET_BITS
#define _FILE_OFFSET_BITS 64
#endif

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <numbers>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "data/su_format.h"

namespace tavelo::gen {
namespace {

constexpr double kPi = std::numbers::pi;

struct Options {
  bool sample = false;
  bool bigEndian = false;
  int64_t traces = 0;
  int32_t samples = 0;
  int32_t dtMicroseconds = 4000;
  std::string output;
};

// ---------------------------------------------------------------- the line

struct Section {
  int64_t traces;
  int32_t ns;
  int32_t dtMicroseconds;
  bool bigEndian;
};

// One reflector: its time (fraction of the record length) along the line
// (u from 0 at the first trace to 1 at the last) and its amplitude.
struct Event {
  double (*time)(double u);
  double amplitude;
};

constexpr Event kEvents[] = {
    // Dipping from shallow at the start of the line to deeper at its end.
    {[](double u) { return 0.16 + 0.26 * u; }, -0.7},
    // A gentle anticline, highest in the middle.
    {[](double u) { return 0.50 - 0.07 * (1.0 - (2.0 * u - 1.0) * (2.0 * u - 1.0)); }, 0.8},
    // Flat.
    {[](double) { return 0.76; }, 0.6},
    // A weak, slightly undulating deep event.
    {[](double u) { return 0.88 + 0.015 * std::sin(3.0 * kPi * u); }, -0.35},
};

uint64_t SplitMix64(uint64_t x) {
  x += 0x9E3779B97F4A7C15u;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9u;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBu;
  return x ^ (x >> 31);
}

// Uniform noise in [-1, 1), seeded per trace so that traces can be made in
// any order with the same result.
class Noise {
 public:
  explicit Noise(int64_t trace) : state_(SplitMix64(0x7A7E10u + static_cast<uint64_t>(trace))) {
    if (state_ == 0) state_ = 1;
  }
  double Next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 7;
    state_ ^= state_ << 17;
    return static_cast<double>(state_ >> 11) * (2.0 / 9007199254740992.0) - 1.0;
  }

 private:
  uint64_t state_;
};

double Position(const Section& s, int64_t trace) {
  return s.traces > 1 ? static_cast<double>(trace) / static_cast<double>(s.traces - 1) : 0.5;
}

// Header words of one trace, as the program's diagrams and labels read them.
struct TraceWords {
  int32_t tracl, ep, cdp, gelev, gdel, sdel, sx, gx, d2;
  int16_t trid, nhs, scalel, tstat, ns, dt;
};

int32_t ClampToInt32(double v) {
  return static_cast<int32_t>(std::clamp(std::round(v), -2147483648.0, 2147483647.0));
}

TraceWords MakeWords(const Section& s, int64_t trace) {
  const double u = Position(s, trace);
  TraceWords w{};
  w.tracl = ClampToInt32(static_cast<double>(trace) + 1);
  w.cdp = ClampToInt32(101.0 + static_cast<double>(trace));
  w.ep = ClampToInt32(1001.0 + static_cast<double>(trace / 2));
  w.trid = 1;
  // Fold builds up from 1 at both ends of the line to 24, with a dip where
  // a few shots were missed.
  const int64_t fromEnd = std::min(trace, s.traces - 1 - trace);
  int64_t fold = std::min<int64_t>(24, 1 + fromEnd / 2);
  if (u > 0.56 && u < 0.61) fold -= 6;
  w.nhs = static_cast<int16_t>(std::max<int64_t>(1, fold));
  // Receiver elevation 120..150 m in centimetres, datum 100 m.
  w.scalel = -100;
  w.gelev = ClampToInt32(13500.0 + 1500.0 * std::sin(2.0 * kPi * 1.3 * u + 0.4));
  w.gdel = 10000;
  w.sdel = 10000;
  // Total statics in milliseconds, -8..+12.
  const double statics = 2.0 + 7.0 * std::sin(2.0 * kPi * 2.1 * u) + 3.0 * std::cos(2.0 * kPi * 5.3 * u);
  w.tstat = static_cast<int16_t>(std::clamp(std::round(statics), -8.0, 12.0));
  // Midpoint coordinate in metres, 12.5 m apart.
  w.sx = ClampToInt32(2000.0 + 12.5 * static_cast<double>(trace));
  w.gx = w.sx;
  // Twice the trace interval, scaled like the elevations: 2500 x 0.01 / 2 = 12.5 m.
  w.d2 = 2500;
  w.ns = static_cast<int16_t>(s.ns);
  w.dt = static_cast<int16_t>(s.dtMicroseconds);
  return w;
}

void Put16(unsigned char* p, int16_t value, bool bigEndian) {
  const auto v = static_cast<uint16_t>(value);
  const auto lo = static_cast<unsigned char>(v & 0xFF);
  const auto hi = static_cast<unsigned char>(v >> 8);
  p[0] = bigEndian ? hi : lo;
  p[1] = bigEndian ? lo : hi;
}

void Put32Bits(unsigned char* p, uint32_t v, bool bigEndian) {
  for (int i = 0; i < 4; ++i) {
    const int shift = bigEndian ? 8 * (3 - i) : 8 * i;
    p[i] = static_cast<unsigned char>((v >> shift) & 0xFF);
  }
}

void Put32(unsigned char* p, int32_t value, bool bigEndian) {
  Put32Bits(p, static_cast<uint32_t>(value), bigEndian);
}

void PutFloat(unsigned char* p, float value, bool bigEndian) {
  uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  Put32Bits(p, bits, bigEndian);
}

// Fills `out` (one whole trace: header and samples) for trace index `trace`.
void MakeTrace(const Section& s, int64_t trace, std::vector<unsigned char>& out,
               std::vector<double>& work) {
  std::fill(out.begin(), out.end(), 0);
  const TraceWords w = MakeWords(s, trace);
  unsigned char* h = out.data();
  const bool be = s.bigEndian;
  Put32(h + su::kTracl.offset, w.tracl, be);
  Put32(h + su::kEp.offset, w.ep, be);
  Put32(h + su::kCdp.offset, w.cdp, be);
  Put16(h + su::kTrid.offset, w.trid, be);
  Put16(h + su::kNhs.offset, w.nhs, be);
  Put32(h + su::kGelev.offset, w.gelev, be);
  Put32(h + su::kGdel.offset, w.gdel, be);
  Put32(h + su::kSdel.offset, w.sdel, be);
  Put16(h + su::kScalel.offset, w.scalel, be);
  Put32(h + su::kSx.offset, w.sx, be);
  Put32(h + su::kGx.offset, w.gx, be);
  Put16(h + su::kTstat.offset, w.tstat, be);
  Put16(h + su::kNs.offset, w.ns, be);
  Put16(h + su::kDt.offset, w.dt, be);
  Put32(h + su::kD2AsInt.offset, w.d2, be);

  // Samples: Ricker wavelets on each reflector plus a little noise.
  const double dt = s.dtMicroseconds * 1e-6;
  const double record = dt * s.ns;
  const double nyquist = 0.5 / dt;
  const double peak = std::min(25.0, 0.4 * nyquist);  // Hz, kept below Nyquist
  const double u = Position(s, trace);
  work.assign(static_cast<size_t>(s.ns), 0.0);
  Noise noise(trace);
  for (double& v : work) v = 0.04 * noise.Next();
  const double halfWidth = 1.5 / peak;  // the wavelet is negligible beyond it
  for (const Event& e : kEvents) {
    const double t0 = e.time(u) * record;
    const int64_t first = std::max<int64_t>(0, static_cast<int64_t>(std::floor((t0 - halfWidth) / dt)));
    const int64_t last = std::min<int64_t>(s.ns - 1, static_cast<int64_t>(std::ceil((t0 + halfWidth) / dt)));
    // Amplitudes fade a little with depth, and along the line, so the
    // section is not uniform.
    const double gain = e.amplitude * (1.0 - 0.3 * t0 / record) * (0.85 + 0.15 * std::cos(2.0 * kPi * u));
    for (int64_t k = first; k <= last; ++k) {
      const double a = kPi * peak * (static_cast<double>(k) * dt - t0);
      work[static_cast<size_t>(k)] += gain * (1.0 - 2.0 * a * a) * std::exp(-a * a);
    }
  }
  unsigned char* p = out.data() + su::kHeaderBytes;
  for (double v : work) {
    PutFloat(p, static_cast<float>(v), be);
    p += 4;
  }
}

// ---------------------------------------------------------- file writing

// A file written beside its target and renamed over it once complete.
class AtomicFile {
 public:
  explicit AtomicFile(std::string target) : target_(std::move(target)) {
    std::string pattern = target_ + ".tmp-XXXXXX";
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) return;
    temp_ = pattern;
    ::fchmod(fd, 0644);
    file_ = ::fdopen(fd, "wb");
    if (!file_) {
      ::close(fd);
      Discard();
      return;
    }
    static_cast<void>(std::setvbuf(file_, nullptr, _IOFBF, 1 << 20));
  }
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;
  ~AtomicFile() {
    if (file_) std::fclose(file_);
    Discard();
  }

  bool Ok() const { return file_ != nullptr && ok_; }

  void Write(const void* data, size_t count) {
    if (Ok() && std::fwrite(data, 1, count, file_) != count) ok_ = false;
  }
  void Write(std::string_view text) { Write(text.data(), text.size()); }

  // Closes and renames over the target; false (temporary removed) on failure.
  bool Commit() {
    if (!file_) return false;
    const bool flushed = std::fflush(file_) == 0 && ::fsync(::fileno(file_)) == 0;
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    if (!ok_ || !flushed || !closed || std::rename(temp_.c_str(), target_.c_str()) != 0) {
      Discard();
      return false;
    }
    temp_.clear();
    return true;
  }

 private:
  void Discard() {
    if (!temp_.empty()) ::unlink(temp_.c_str());
    temp_.clear();
  }

  std::string target_;
  std::string temp_;
  std::FILE* file_ = nullptr;
  bool ok_ = true;
};

bool WriteSection(const Section& s, const std::string& path) {
  AtomicFile file(path);
  if (!file.Ok()) return false;
  std::vector<unsigned char> trace(static_cast<size_t>(su::TraceBytes(s.ns)));
  std::vector<double> work;
  for (int64_t t = 0; t < s.traces && file.Ok(); ++t) {
    MakeTrace(s, t, trace, work);
    file.Write(trace.data(), trace.size());
  }
  return file.Commit();
}

bool WriteText(const std::string& path, std::string_view text) {
  AtomicFile file(path);
  file.Write(text);
  return file.Commit();
}

std::string IntText(int64_t v) {
  char buffer[24];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, v);
  return std::string(buffer, result.ptr);
}

// Milliseconds as seconds with no trailing zeros: 400 -> "0.4", 1250 -> "1.25".
std::string SecondsText(int ms) {
  std::string text = IntText(ms / 1000);
  const int rest = ms % 1000;
  if (rest != 0) {
    std::string digits = IntText(1000 + rest).substr(1);
    while (!digits.empty() && digits.back() == '0') digits.pop_back();
    text += "." + digits;
  }
  return text;
}

// The velocity picks of the sample line, all on one line as sunmo takes
// them: five functions, velocities rising with time and varying a little
// along the line.
std::string PickFileText() {
  constexpr int kCdps[] = {130, 190, 250, 310, 370};
  constexpr int kTimesMs[] = {100, 400, 750, 1000, 1400, 1850};
  std::string cdps;
  std::string functions;
  for (int cdp : kCdps) {
    if (!cdps.empty()) cdps += ",";
    cdps += IntText(cdp);
    std::string times;
    std::string velocities;
    for (int ms : kTimesMs) {
      if (!times.empty()) {
        times += ",";
        velocities += ",";
      }
      const double t = ms / 1000.0;
      const double v = 1500.0 + 1000.0 * t + 60.0 * std::sin(cdp / 40.0) + 25.0 * t * std::cos(cdp / 25.0);
      times += SecondsText(ms);
      velocities += IntText(static_cast<int64_t>(std::lround(v / 10.0)) * 10);
    }
    functions += " tnmo=" + times + " vnmo=" + velocities;
  }
  return "sunmo cdp=" + cdps + functions + "\r\n";
}

std::string HistoryText(std::string_view base) {
  const std::string b(base);
  const char* lines[] = {
      "# Processing history of ",
      "segyread tape=@.sgy endian=1 | segyclean > @_raw.su",
      "sushw < @_raw.su key=scalel,scalco a=-100,-100 > @_geom.su",
      "suchw < @_geom.su key1=cdp key2=gx key3=sx b=1 c=1 d=25 > @_cdp.su",
      "sugain < @_cdp.su tpow=2 > @_gain.su",
      "sustatic < @_gain.su hdrs=1 sign=1 > @_stat.su",
      "sufilter < @_stat.su f=8,12,60,80 amps=0,1,1,0 > @_filt.su",
      "susort < @_filt.su cdp offset > @_sort.su",
      "sunmo < @_sort.su par=@.NMO | sumute key=offset xmute=0,3000 tmute=0.1,1.2 > @_nmo.su",
      "sustack < @_nmo.su key=cdp normpow=1 > @_stack.su",
      "suop2 @_stack.su @_mult.su op=diff | suagc wagc=0.5 > @_agc.su",
      "sushw < @_agc.su key=gdel,sdel a=10000,10000 > @.su",
  };
  std::string text;
  bool firstLine = true;
  for (std::string_view line : lines) {
    std::string out;
    for (char c : line) {
      if (c == '@') {
        out += b;
      } else {
        out += c;
      }
    }
    if (firstLine) out += b + ".su";
    firstLine = false;
    text += out + "\r\n";
  }
  return text;
}

// OUT less its extension: "dir/line.su" -> "dir/line"; a dot in a folder
// name does not count.
std::string WithoutExtension(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  const size_t dot = path.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash) ||
      dot == (slash == std::string::npos ? 0 : slash + 1)) {
    return path;
  }
  return path.substr(0, dot);
}

std::string FileNameOf(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// ------------------------------------------------------------ arguments

template <typename T>
bool ParseNumber(std::string_view text, T& out) {
  const char* end = text.data() + text.size();
  const auto result = std::from_chars(text.data(), end, out);
  return result.ec == std::errc() && result.ptr == end;
}

void Usage(std::FILE* to) {
  std::fputs(
      "usage: tavelo_gen --sample [--big-endian] OUT.su\n"
      "       tavelo_gen --traces N --samples M [--dt US] [--big-endian] OUT.su\n"
      "  --sample      the sample line (300 traces, 1000 samples at 2000 us) with\n"
      "                OUT's base name + .NMO (velocity picks) and + .txt (history)\n"
      "  --traces N    number of traces (1..100000000)\n"
      "  --samples M   samples per trace (1..32767)\n"
      "  --dt US       sample interval in microseconds (1..32767, default 4000)\n"
      "  --big-endian  write big-endian instead of little-endian\n",
      to);
}

// 0 when parsed, else the exit status to return.
int ParseArguments(int argc, char** argv, Options& options) {
  bool haveTraces = false;
  bool haveSamples = false;
  bool haveDt = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    auto value = [&](std::string_view& out) {
      if (i + 1 >= argc) return false;
      out = argv[++i];
      return true;
    };
    std::string_view text;
    if (arg == "--help" || arg == "-h") {
      Usage(stdout);
      return -1;
    } else if (arg == "--sample") {
      options.sample = true;
    } else if (arg == "--big-endian") {
      options.bigEndian = true;
    } else if (arg == "--traces") {
      if (!value(text) || !ParseNumber(text, options.traces) || options.traces < 1 ||
          options.traces > 100000000) {
        std::fputs("tavelo_gen: --traces needs a number from 1 to 100000000\n", stderr);
        return 2;
      }
      haveTraces = true;
    } else if (arg == "--samples") {
      if (!value(text) || !ParseNumber(text, options.samples) || options.samples < 1 ||
          options.samples > 32767) {
        std::fputs("tavelo_gen: --samples needs a number from 1 to 32767\n", stderr);
        return 2;
      }
      haveSamples = true;
    } else if (arg == "--dt") {
      if (!value(text) || !ParseNumber(text, options.dtMicroseconds) ||
          options.dtMicroseconds < 1 || options.dtMicroseconds > 32767) {
        std::fputs("tavelo_gen: --dt needs a number of microseconds from 1 to 32767\n", stderr);
        return 2;
      }
      haveDt = true;
    } else if (!arg.empty() && arg[0] == '-') {
      std::fprintf(stderr, "tavelo_gen: unknown option %s\n", argv[i]);
      Usage(stderr);
      return 2;
    } else if (options.output.empty()) {
      options.output = std::string(arg);
    } else {
      std::fputs("tavelo_gen: only one output file may be given\n", stderr);
      return 2;
    }
  }
  if (options.output.empty() || (options.sample == (haveTraces || haveSamples || haveDt)) ||
      (!options.sample && !(haveTraces && haveSamples))) {
    Usage(stderr);
    return 2;
  }
  return 0;
}

int Run(int argc, char** argv) {
  Options options;
  const int parsed = ParseArguments(argc, argv, options);
  if (parsed != 0) return parsed < 0 ? 0 : parsed;

  Section section{options.traces, options.samples, options.dtMicroseconds, options.bigEndian};
  if (options.sample) section = Section{300, 1000, 2000, options.bigEndian};

  if (!WriteSection(section, options.output)) {
    std::fprintf(stderr, "tavelo_gen: cannot write %s\n", options.output.c_str());
    return 1;
  }
  if (options.sample) {
    const std::string base = WithoutExtension(options.output);
    const std::string picks = base + ".NMO";
    const std::string history = base + ".txt";
    if (!WriteText(picks, PickFileText())) {
      std::fprintf(stderr, "tavelo_gen: cannot write %s\n", picks.c_str());
      return 1;
    }
    if (!WriteText(history, HistoryText(FileNameOf(base)))) {
      std::fprintf(stderr, "tavelo_gen: cannot write %s\n", history.c_str());
      return 1;
    }
  }
  return 0;
}

}  // namespace
}  // namespace tavelo::gen

int main(int argc, char** argv) { return tavelo::gen::Run(argc, argv); }
