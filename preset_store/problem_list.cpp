#include "problem_list.h"

void ProblemList::Add(const std::string& subject, const std::string& problem) {
    if (m_lines.size() < kListedLines)
        m_lines.push_back(subject + ": " + problem);
    ++m_count;
}

void ProblemList::AddFile(const std::string& path, const StoreReport& report, bool writing) {
    if (const char* problem = FileProblem(report, writing))
        Add(path, problem);
}

void ProblemList::Append(const ProblemList& other) {
    for (const std::string& line : other.m_lines)
        if (m_lines.size() < kListedLines)
            m_lines.push_back(line);
    m_count += other.m_count;
}

std::string ProblemList::Text(const char* heading) const {
    std::string text = std::string(heading) + "\n";
    for (const std::string& line : m_lines)
        text += "\n" + line;
    if (m_count > m_lines.size())
        text += "\nand " + std::to_string(m_count - m_lines.size()) + " more";
    return text;
}
