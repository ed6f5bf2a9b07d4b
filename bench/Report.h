// Output of the bench command: an aligned text table for people and a JSON
// document for machines, built side by side.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

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

// The figures as JSON, in the order they are set (nlohmann/json, see
// bench/CMakeLists.txt).
using Json = nlohmann::ordered_json;

// null for a figure that could not be had.
Json OrNull(const std::optional<double>& value);

// The document indented by two, with a final newline.
bool WriteJsonFile(const std::string& path, const Json& json);

// "%.3f"-style text of a number with the given decimals.
std::string Fixed(double value, int decimals);

bool WriteTextFile(const std::string& path, const std::string& text);
// The whole file, or nothing when it cannot be read.
std::string ReadTextFile(const std::string& path);

}  // namespace bench
