#include "bench/Report.h"

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

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

std::string JsonEscape(const std::string& text)
{
    std::string escaped;
    for (char c : text) {
        switch (c) {
        case '"': escaped += "\\\""; break;
        case '\\': escaped += "\\\\"; break;
        case '\n': escaped += "\\n"; break;
        case '\r': escaped += "\\r"; break;
        case '\t': escaped += "\\t"; break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                char code[8];
                std::snprintf(code, sizeof(code), "\\u%04x", static_cast<unsigned char>(c));
                escaped += code;
            } else {
                escaped += c;
            }
        }
    }
    return escaped;
}

void JsonWriter::Key(const char* key)
{
    if (!firstInScope_.empty()) {
        if (!firstInScope_.back()) {
            text_ += ",";
        }
        firstInScope_.back() = false;
        text_ += "\n" + std::string(2 * depth_, ' ');
    }
    if (key != nullptr) {
        text_ += "\"" + JsonEscape(key) + "\": ";
    }
}

JsonWriter& JsonWriter::BeginObject(const char* key)
{
    Key(key);
    text_ += "{";
    firstInScope_.push_back(true);
    ++depth_;
    return *this;
}

JsonWriter& JsonWriter::EndObject()
{
    --depth_;
    const bool empty = firstInScope_.back();
    firstInScope_.pop_back();
    text_ += empty ? "}" : "\n" + std::string(2 * depth_, ' ') + "}";
    return *this;
}

JsonWriter& JsonWriter::BeginArray(const char* key)
{
    Key(key);
    text_ += "[";
    firstInScope_.push_back(true);
    ++depth_;
    return *this;
}

JsonWriter& JsonWriter::EndArray()
{
    --depth_;
    const bool empty = firstInScope_.back();
    firstInScope_.pop_back();
    text_ += empty ? "]" : "\n" + std::string(2 * depth_, ' ') + "]";
    return *this;
}

JsonWriter& JsonWriter::Number(const char* key, double value)
{
    Key(key);
    if (!std::isfinite(value)) {
        text_ += "null";
        return *this;
    }
    char text[64];
    std::snprintf(text, sizeof(text), "%.6g", value);
    text_ += text;
    return *this;
}

JsonWriter& JsonWriter::Integer(const char* key, long long value)
{
    Key(key);
    text_ += std::to_string(value);
    return *this;
}

JsonWriter& JsonWriter::String(const char* key, const std::string& value)
{
    Key(key);
    text_ += "\"" + JsonEscape(value) + "\"";
    return *this;
}

JsonWriter& JsonWriter::Bool(const char* key, bool value)
{
    Key(key);
    text_ += value ? "true" : "false";
    return *this;
}

JsonWriter& JsonWriter::Null(const char* key)
{
    Key(key);
    text_ += "null";
    return *this;
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

}  // namespace bench
