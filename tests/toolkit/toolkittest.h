// Shared set-up of the toolkit tests: OLE on the test thread and a plain top-level window.
#pragma once

#include <windows.h>

#include <ole2.h>

#include <gtest/gtest.h>

namespace quorvin::testing {

// OLE for the test thread, and a hidden window to own dialogs and take drop registrations.
class ToolkitTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    HWND window() const { return window_; }

private:
    HWND window_ = nullptr;
};

// Pumps this thread's messages for about `ms` milliseconds.
void pumpMessages(int ms);

} // namespace quorvin::testing
