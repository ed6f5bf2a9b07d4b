// Output of the bench command: an aligned text table for people and a JSON
// document for machines, built side by side.
#pragma once

#include <string>
#include <vector>

namespace bench {

// Rows of "figure | value | note", printed with aligned columns.
class Table {
public:
    explicit Table(std::string title) : title_(std::move(title)) {}
    void Row(std::string figure, std::string value, std::string note = "");
    void Section(std::string heading);
    std::string Text() const;

private:
    struct Line {
        bool heading = false;
        std::string figure;
        std::string value;
        std::string note;
    };
    std::string title_;
    std::vector<Line> lines_;
};

// A JSON text written front to back; keys are given inside objects and
// omitted (nullptr) inside arrays.
class JsonWriter {
public:
    JsonWriter& BeginObject(const char* key = nullptr);
    JsonWriter& EndObject();
    JsonWriter& BeginArray(const char* key = nullptr);
    JsonWriter& EndArray();
    JsonWriter& Number(const char* key, double value);
    JsonWriter& Integer(const char* key, long long value);
    JsonWriter& String(const char* key, const std::string& value);
    JsonWriter& Bool(const char* key, bool value);
    JsonWriter& Null(const char* key);
    const std::string& Text() const { return text_; }

private:
    void Key(const char* key);
    std::string text_;
    std::vector<bool> firstInScope_;
    int depth_ = 0;
};

std::string JsonEscape(const std::string& text);

// "%.3f"-style text of a number with the given decimals.
std::string Fixed(double value, int decimals);

bool WriteTextFile(const std::string& path, const std::string& text);

}  // namespace bench
