// Fuzzes the macro-file loader: any text must load into tables that keep their limits.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "remote/MacroFile.h"

namespace {

void check(bool ok, const char* what)
{
    if (!ok) {
        std::fprintf(stderr, "macro tables broken: %s\n", what);
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    const auto tables = velora::remote::parseMacroFile(text);
    check(tables->scopeCount >= 1 && tables->scopeCount <= velora::remote::kMaxScopes, "scope count");
    check(!tables->scopes[0].titlePattern, "default scope has a title");
    for (int i = 0; i < velora::remote::kMaxScopes; ++i) {
        const auto& scope = tables->scopes[static_cast<std::size_t>(i)];
        if (i > 0 && i < tables->scopeCount) {
            check(scope.titlePattern && !scope.titlePattern->empty(), "window scope without a title");
            check(scope.titlePattern->find_first_of("\"\r\n") == std::string::npos, "title holds a quote or line end");
            check(scope.titlePattern->size() <= 511, "title longer than a line");
        }
        if (i >= tables->scopeCount) {
            check(!scope.titlePattern, "unused scope has a title");
        }
        for (const auto& macro : scope.macros) {
            if (macro) {
                check(i < tables->scopeCount, "binding in an unused scope");
                check(!macro->empty() && macro->size() <= 510, "macro text length");
                check(macro->find('\n') == std::string::npos && macro->find('\0') == std::string::npos,
                      "macro text holds a line feed or zero byte");
            }
        }
    }
    return 0;
}
