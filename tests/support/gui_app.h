#pragma once
// The application object tests that draw, print or use fonts and widgets
// need: made once, on first use, on the offscreen platform unless one is
// chosen.

namespace tavelo::test {

void EnsureGuiApp();

}  // namespace tavelo::test
