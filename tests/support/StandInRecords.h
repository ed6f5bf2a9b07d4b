// Reading back what a stand-in recorded: one "key=value ..." line per call.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace testsupport {

struct Record {
    std::map<std::string, std::string> fields;

    bool Has(const std::string& key) const { return fields.count(key) != 0; }
    std::string Text(const std::string& key) const;
    unsigned long long Number(const std::string& key) const;
};

std::vector<Record> ReadRecords(const std::string& file);
void ClearRecords(const std::string& file);

// Records whose "fn" field equals name.
std::vector<Record> WithFunction(const std::vector<Record>& records, const std::string& name);

}  // namespace testsupport
