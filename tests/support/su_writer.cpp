#include "support/su_writer.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>

namespace tavelo::test {

namespace {

void Put16(std::string& out, size_t at, uint16_t v, ByteOrder order) {
  const unsigned char lo = static_cast<unsigned char>(v & 0xFF);
  const unsigned char hi = static_cast<unsigned char>(v >> 8);
  out[at] = static_cast<char>(order == ByteOrder::Little ? lo : hi);
  out[at + 1] = static_cast<char>(order == ByteOrder::Little ? hi : lo);
}

void Put32(std::string& out, size_t at, uint32_t v, ByteOrder order) {
  for (int i = 0; i < 4; ++i) {
    const int shift = order == ByteOrder::Little ? 8 * i : 8 * (3 - i);
    out[at + static_cast<size_t>(i)] = static_cast<char>((v >> shift) & 0xFF);
  }
}

uint32_t FloatBits(float v) {
  uint32_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  return bits;
}

// Folders made by TempDir(), removed when the program ends.
class TempRegistry {
 public:
  ~TempRegistry() {
    for (const std::string& dir : dirs_) {
      std::error_code ignored;
      std::filesystem::remove_all(dir, ignored);
    }
  }
  void Add(std::string dir) {
    std::lock_guard lock(mutex_);
    dirs_.push_back(std::move(dir));
  }

 private:
  std::mutex mutex_;
  std::vector<std::string> dirs_;
};

TempRegistry& Registry() {
  static TempRegistry registry;
  return registry;
}

}  // namespace

SuTrace& SuTrace::SetInt16(int offset, int32_t value) {
  Word& word = header[offset];
  word.type = su::FieldType::Int16;
  word.integer = value;
  return *this;
}

SuTrace& SuTrace::SetInt32(int offset, int64_t value) {
  Word& word = header[offset];
  word.type = su::FieldType::Int32;
  word.integer = value;
  return *this;
}

SuTrace& SuTrace::SetFloat(int offset, float value) {
  Word& word = header[offset];
  word.type = su::FieldType::Float32;
  word.real = value;
  return *this;
}

SuTrace& SuTrace::Set(const su::HeaderField& field, double value) {
  if (field.type == su::FieldType::Float32) return SetFloat(field.offset, static_cast<float>(value));
  // Out-of-range values wrap like the header word would; NaN writes 0.
  const double clamped = std::isfinite(value) ? std::clamp(value, -9.0e18, 9.0e18) : 0.0;
  const int64_t integer = std::llround(clamped);
  if (field.type == su::FieldType::Int16) return SetInt16(field.offset, static_cast<int32_t>(integer & 0xFFFF));
  return SetInt32(field.offset, integer);
}

std::vector<SuTrace> MakeTraces(int count, int ns, int dt, const SampleFunction& fn,
                                int firstCdp) {
  std::vector<SuTrace> traces(static_cast<size_t>(std::max(count, 0)));
  for (int t = 0; t < count; ++t) {
    SuTrace& trace = traces[static_cast<size_t>(t)];
    trace.Set(su::kTracl, t + 1);
    trace.Set(su::kCdp, static_cast<double>(firstCdp) + t);
    trace.Set(su::kNs, ns);
    trace.Set(su::kDt, dt);
    trace.samples.assign(static_cast<size_t>(std::max(ns, 0)), 0.0f);
    if (fn) {
      for (int s = 0; s < ns; ++s) trace.samples[static_cast<size_t>(s)] = fn(s, t);
    }
  }
  return traces;
}

std::string SuFileBytes(const std::vector<SuTrace>& traces, ByteOrder order) {
  std::string out;
  for (const SuTrace& trace : traces) {
    std::string header(static_cast<size_t>(su::kHeaderBytes), '\0');
    for (const auto& [offset, word] : trace.header) {
      const int width = word.type == su::FieldType::Int16 ? 2 : 4;
      if (offset < 0 || offset + width > su::kHeaderBytes) {
        ADD_FAILURE() << "header word at offset " << offset << " lies outside the header";
        continue;
      }
      const size_t at = static_cast<size_t>(offset);
      switch (word.type) {
        case su::FieldType::Int16:
          Put16(header, at, static_cast<uint16_t>(word.integer & 0xFFFF), order);
          break;
        case su::FieldType::Int32:
          Put32(header, at, static_cast<uint32_t>(word.integer & 0xFFFFFFFF), order);
          break;
        case su::FieldType::Float32:
          Put32(header, at, FloatBits(word.real), order);
          break;
      }
    }
    out += header;
    std::string samples(trace.samples.size() * 4, '\0');
    for (size_t i = 0; i < trace.samples.size(); ++i) {
      Put32(samples, 4 * i, FloatBits(trace.samples[i]), order);
    }
    out += samples;
  }
  return out;
}

bool WriteSuFile(const std::string& path, const std::vector<SuTrace>& traces, ByteOrder order) {
  return WriteBytes(path, SuFileBytes(traces, order));
}

bool WriteBytes(const std::string& path, std::string_view bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return (std::fclose(file) == 0) && written;
}

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string TempDir() {
  std::string base = ::testing::TempDir();
  if (base.empty()) base = "/tmp/";
  if (base.back() != '/') base += '/';
  std::string pattern = base + "tavelo-XXXXXX";
  if (!::mkdtemp(pattern.data())) {
    ADD_FAILURE() << "cannot create a temporary folder under " << base;
    return base + "tavelo-unavailable";
  }
  Registry().Add(pattern);
  return pattern;
}

std::string TempFile(std::string_view name) {
  return TempDir() + "/" + std::string(name);
}

}  // namespace tavelo::test
