// What a command could not do, gathered for one message after it: one line for each file not
// read or written whole and each preset not deleted, "subject: problem", in the order met.
#pragma once

#include "preset_store.h"

#include <string>
#include <vector>

class ProblemList {
public:
    // Lines the message lists; further problems are only counted ("and N more").
    static constexpr size_t kListedLines = 10;

    void Add(const std::string& subject, const std::string& problem);
    // Adds the file when FileProblem has a problem for its report.
    void AddFile(const std::string& path, const StoreReport& report, bool writing);
    // Adds the other list's problems, listed and counted.
    void Append(const ProblemList& other);
    bool Empty() const { return m_count == 0; }
    size_t Count() const { return m_count; }
    // The heading, an empty line, the listed lines and, when some were not listed,
    // "and N more"; lines end with "\n" between them, none after the last.
    std::string Text(const char* heading) const;

private:
    std::vector<std::string> m_lines;
    size_t m_count = 0;
};
