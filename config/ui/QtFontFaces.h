// Font faces from fontconfig, as Qt's font database lists them.
#pragma once

#include "config/SystemLists.h"

namespace velora::config {

class QtFontFaces final : public FontSource
{
public:
    // Every family of every writing system, once each. Qt names a family that several
    // foundries provide "Family [Foundry]"; the face name is the part before the bracket.
    // Needs a QGuiApplication.
    std::vector<std::string> faces() override;
    // The family fontconfig matches for name, unless it is the family every unknown name
    // gets. Needs a QGuiApplication.
    std::optional<std::string> substitute(std::string_view name) override;
};

} // namespace velora::config
