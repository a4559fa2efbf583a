// SPDX-License-Identifier: MIT
// One QApplication for the Easy tab tests.
#include "QtTestEnv.h"

namespace {
const auto* const kEnv = ::testing::AddGlobalTestEnvironment(new r8::test::QtEnvironment);
} // namespace
