#include "data/su_trace_file.h"

#include <cmath>

#include "common/numeric.h"
#include "common/paths.h"
#include "data/segy_reader.h"

namespace tavelo {

double ElevationFactor(int16_t scalel) {
  if (scalel < 0) return 1.0 / std::abs(static_cast<double>(scalel));
  if (scalel == 0) return 1.0;
  return scalel;
}

std::optional<int32_t> TraceCountFor(int64_t length, int64_t traceBytes) {
  if (traceBytes <= 0 || length < 0) return std::nullopt;
  return ToInt32(static_cast<double>(length) / static_cast<double>(traceBytes));
}

namespace {

// The sample interval of the first trace: dt, or d1 * 1000 when dt is 0.
void ReadSampleInterval(const SuReader& reader, SuDescription& out) {
  auto dt = reader.ReadInt16(su::kDt.offset);
  if (!dt) return;
  if (*dt != 0) {
    out.sampleInterval = *dt;
    return;
  }
  auto d1 = reader.ReadFloat(su::kD1.offset);
  const auto v = d1 ? ToInt16(static_cast<double>(*d1) * 1000.0) : std::nullopt;
  if (!v || *v == 0) {
    out.sampleIntervalMissing = true;
    return;
  }
  out.sampleInterval = *v;
}

// A SEG-Y file that cannot be read is refused with the reason; one that
// ends inside a trace is read up to its last whole trace. Other files pass.
bool CheckSegyLayout(const std::string& path, SuFileCheck& check) {
  const segy::FileCheck segy = segy::CheckFile(path);
  if (!segy.segy) return true;
  if (!segy.layout) {
    check.problem = SuFileProblem::SegyRefused;
    check.segyProblem = segy.problem;
    return false;
  }
  if (segy.layout->truncated) check.segyWholeTraces = segy.layout->traceCount;
  return true;
}

}  // namespace

SuFileCheck InspectSuFile(const std::string& path) {
  SuFileCheck check;
  if (!FileExists(path)) {
    check.problem = SuFileProblem::Missing;
    return check;
  }
  if (!CheckSegyLayout(path, check)) return check;
  auto length = FileLength(path);
  if (!length || !SuReader::Open(path)) {
    check.problem = SuFileProblem::Inaccessible;
  } else if (*length == 0) {
    check.problem = SuFileProblem::Empty;
  }
  return check;
}

SuDescription DescribeSuFile(const SuReader& reader) {
  SuDescription d;
  d.length = reader.Length();
  d.samplesPerTrace = reader.ReadSamplesPerTrace();
  ReadSampleInterval(reader, d);
  d.scalel = reader.ReadInt16(su::kScalel.offset);
  d.traceInterval = reader.ReadInt32(su::kD2AsInt.offset);
  d.gdel = reader.ReadInt32(su::kGdel.offset);
  d.sdel = reader.ReadInt32(su::kSdel.offset);
  return d;
}

std::optional<SuDescription> DescribeSuFile(const std::string& path) {
  auto reader = SuReader::Open(path);
  if (!reader) return std::nullopt;
  return DescribeSuFile(*reader);
}

std::optional<double> TraceSpacing(const SuDescription& description) {
  if (!description.scalel || !description.traceInterval) return std::nullopt;
  return std::abs(*description.traceInterval / 2.0) * ElevationFactor(*description.scalel);
}

std::optional<int32_t> ReadTraceNumbering(SuTraceFile& file, std::optional<int32_t> traceNumber, bool byCdp) {
  if (file.ActiveFilePath.size() <= 4) return std::nullopt;
  auto reader = SuReader::Open(file.ActiveFilePath);
  if (!reader) return std::nullopt;
  SuDescription interval;
  ReadSampleInterval(*reader, interval);
  if (interval.sampleInterval) file.SampleInterval = *interval.sampleInterval;
  if (auto count = TraceCountFor(reader->Length(), file.TraceBytes())) file.TraceCount = *count;

  if (!traceNumber || *traceNumber < 1 || file.TraceBytes() <= 0) return 0;
  const auto& field = byCdp ? su::kCdp : su::kTracl;
  return reader->ReadHeaderInt(*traceNumber - 1, file.TraceBytes(), field).value_or(0);
}

}  // namespace tavelo
