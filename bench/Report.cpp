#include "bench/Report.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "common/UniqueResource.h"

namespace bench {

void Table::Row(std::string figure, std::string value, std::string note)
{
    lines_.push_back({false, std::move(figure), std::move(value), std::move(note)});
}

void Table::Section(std::string heading)
{
    lines_.push_back({true, std::move(heading), "", ""});
}

std::string Table::Text() const
{
    size_t figureWidth = 0;
    size_t valueWidth = 0;
    for (const Line& line : lines_) {
        if (!line.heading) {
            figureWidth = std::max(figureWidth, line.figure.size());
            valueWidth = std::max(valueWidth, line.value.size());
        }
    }
    std::string text = title_ + "\n" + std::string(title_.size(), '=') + "\n";
    for (const Line& line : lines_) {
        if (line.heading) {
            text += "\n" + line.figure + "\n";
            continue;
        }
        std::string row = "  " + line.figure + std::string(figureWidth - line.figure.size(), ' ') +
                          "  " + std::string(valueWidth - line.value.size(), ' ') + line.value;
        if (!line.note.empty()) {
            row += "   " + line.note;
        }
        text += row + "\n";
    }
    return text;
}

Json OrNull(const std::optional<double>& value) { return value ? Json(*value) : Json(); }

bool WriteJsonFile(const std::string& path, const Json& json)
{
    // Numbers that are not finite (a ratio over nothing) become null.
    return WriteTextFile(path, json.dump(2) + "\n");
}

std::string Fixed(double value, int decimals)
{
    char text[64];
    std::snprintf(text, sizeof(text), "%.*f", decimals, value);
    return text;
}

bool WriteTextFile(const std::string& path, const std::string& text)
{
    tavrel::UniqueFileHandle file(::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                                nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                                nullptr));
    if (!file.valid()) {
        return false;
    }
    DWORD written = 0;
    return ::WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written,
                       nullptr) &&
           written == text.size();
}

std::string ReadTextFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace bench
