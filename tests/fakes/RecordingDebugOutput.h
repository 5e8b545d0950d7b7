#pragma once

#include <string>
#include <vector>

#include "platform/DebugOutput.h"

namespace velora::test {

class RecordingDebugOutput final : public platform::DebugOutput
{
public:
    void write(const char* text) override { texts.emplace_back(text); }
    std::vector<std::string> texts;
};

} // namespace velora::test
