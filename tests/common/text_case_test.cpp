// Lower case of every script, checked against Qt's Unicode tables for every
// character whose small letter is one character.

#include "common/text_case.h"

#include <gtest/gtest.h>

#include <QList>
#include <QString>

namespace tavelo {
namespace {

TEST(TextCase, EveryCharacterLowersAsQtLowersIt) {
  int differences = 0;
  for (char32_t c = 0; c < 0x110000; ++c) {
    if (c >= 0xD800 && c < 0xE000) continue;
    const char32_t one[1] = {c};
    const QString lowered = QString::fromUcs4(one, 1).toLower();
    const QList<uint> units = lowered.toUcs4();
    if (units.size() != 1) continue;  // a small letter of two characters: kept as it is
    if (LowerCaseOf(c) != units[0] && ++differences < 20)
      ADD_FAILURE() << std::hex << "U+" << static_cast<uint32_t>(c) << " lowers to U+"
                    << static_cast<uint32_t>(LowerCaseOf(c)) << ", Qt says U+" << units[0];
  }
  EXPECT_EQ(differences, 0);
  EXPECT_EQ(Utf8ToLower("\u0130 \u0141\u00d3D\u0179 \u0395\u039b\u039b\u0391\u0394\u0391 \xff"),
            "\u0130 \u0142\u00f3d\u017a \u03b5\u03bb\u03bb\u03b1\u03b4\u03b1 \xff");
}

}  // namespace
}  // namespace tavelo
