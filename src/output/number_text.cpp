#include "output/number_text.h"

#include <array>
#include <cstdio>
#include <cstring>

namespace tavelo::number_text {

namespace {

// A colour component as a fraction of 255, four decimals at most.
struct ComponentText {
  char text[8];
  size_t length;
};

const std::array<ComponentText, 256>& ComponentTexts() {
  static const std::array<ComponentText, 256> texts = [] {
    std::array<ComponentText, 256> t{};
    for (size_t i = 0; i < t.size(); ++i) {
      const long tenThousandths = std::lround(static_cast<double>(i) * 10000.0 / 255.0);
      if (tenThousandths == 0 || tenThousandths == 10000) {
        t[i].text[0] = tenThousandths == 0 ? '0' : '1';
        t[i].length = 1;
        continue;
      }
      std::snprintf(t[i].text, sizeof t[i].text, "0.%04ld", tenThousandths);
      size_t length = std::strlen(t[i].text);
      while (t[i].text[length - 1] == '0') --length;
      t[i].length = length;
    }
    return t;
  }();
  return texts;
}

}  // namespace

void AppendColor(std::string& out, int32_t color, const char* op) {
  const auto& texts = ComponentTexts();
  const auto u = static_cast<uint32_t>(color);
  for (uint32_t shift : {0u, 8u, 16u}) {
    const ComponentText& component = texts[(u >> shift) & 0xFF];
    out.append(component.text, component.length);
    if (shift != 16) out += ' ';
  }
  out += op;
}

}  // namespace tavelo::number_text
