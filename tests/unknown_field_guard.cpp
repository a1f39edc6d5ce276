// Linked into every test program: a field name the window does not have
// fails the running test instead of quietly reading an empty field.
#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "settings/form.h"

namespace {

void FailOnUnknownField(std::string_view name) {
  ADD_FAILURE() << "no window field is named \"" << std::string(name) << "\"";
}

const bool installed = (tavelo::SetUnknownFieldHandler(FailOnUnknownField), true);

}  // namespace
