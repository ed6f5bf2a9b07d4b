#include "tests/support/StandInRecords.h"

#include <windows.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace testsupport {

namespace {
std::string Unescape(const std::string& text)
{
    std::string plain;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            plain += static_cast<char>(std::strtoul(text.substr(i + 1, 2).c_str(), nullptr, 16));
            i += 2;
        } else {
            plain += text[i];
        }
    }
    return plain;
}
}  // namespace

std::string Record::Text(const std::string& key) const
{
    const auto found = fields.find(key);
    return found == fields.end() ? std::string() : found->second;
}

unsigned long long Record::Number(const std::string& key) const
{
    return std::strtoull(Text(key).c_str(), nullptr, 0);
}

std::vector<Record> ReadRecords(const std::string& file)
{
    std::vector<Record> records;
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        std::istringstream words(line);
        std::string word;
        Record record;
        while (words >> word) {
            const size_t equals = word.find('=');
            if (equals != std::string::npos) {
                record.fields[word.substr(0, equals)] = Unescape(word.substr(equals + 1));
            }
        }
        if (!record.fields.empty()) {
            records.push_back(record);
        }
    }
    return records;
}

void ClearRecords(const std::string& file) { ::DeleteFileA(file.c_str()); }

std::vector<Record> WithFunction(const std::vector<Record>& records, const std::string& name)
{
    std::vector<Record> matching;
    for (const Record& record : records) {
        if (record.Text("fn") == name) {
            matching.push_back(record);
        }
    }
    return matching;
}

}  // namespace testsupport
