// presetctl: the preset store from the command line. It runs the same store code as the
// dialog, so files and registry effects are the same bytes, but it checks and reports: every
// failure is one line on standard error and makes the exit status non-zero.
#include "file_pattern.h"
#include "preset_catalog.h"
#include "preset_store.h"
#include "registry_key.h"
#include "system_chars.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

const char kUsage[] =
    "Usage: presetctl COMMAND [ARGUMENTS]\n"
    "Manages the sound editor's effect presets in the current user's registry.\n"
    "\n"
    "  list                          print the effects, one a line, sorted\n"
    "  list EFFECT                   print the presets of EFFECT, one a line, sorted\n"
    "  export EFFECT PRESET FILE     write one preset to exactly FILE\n"
    "  save FOLDER EFFECT PRESET...  write presets to FOLDER\\EFFECT - PRESET.kvp, adding\n"
    "                                a time stamp to the name when that file exists,\n"
    "                                and a counter when that name exists too\n"
    "  backup FOLDER                 write every preset of every effect to FOLDER, named\n"
    "                                as save names them\n"
    "  import FILE...                read preset files (versions 1.0 and 2.0) into the\n"
    "                                registry\n"
    "  delete EFFECT PRESET...       delete presets with everything below them, without\n"
    "                                asking\n"
    "  --help                        show this text\n"
    "\n"
    "Only the FILE arguments of import take the wildcards * and ? (in their last part,\n"
    "as in C:\\Backup\\*.kvp). Effect and preset names are taken exactly as given: a * or ?\n"
    "in them is part of the name.\n"
    "\n"
    "In file names, save and backup replace each character that a file name cannot hold\n"
    "(\\ / : * ? \" < > |) by _; the file keeps the exact names. They print the name of each\n"
    "file they write. A missing effect or preset, a file that cannot be written or read, a\n"
    "file without a preset file's first line, and every key or value that was not written\n"
    "or stored whole is reported on standard error; the remaining arguments are still\n"
    "processed.\n"
    "\n"
    "Exit status: 0 when everything succeeded, 1 when anything failed, 2 for a wrong\n"
    "command line.\n";

constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

class Presetctl : private PresetStore {
public:
    int Run(const std::vector<std::string>& args);

private:
    void Fail(const std::string& subject, const char* problem) {
        std::fprintf(stderr, "presetctl: %s: %s\n", subject.c_str(), problem);
        m_failed = true;
    }
    // The names of the key at path, sorted; what the listing passed over is reported.
    std::vector<std::string> Names(const std::string& path);
    bool FindEffect(const std::string& effect, std::string& spelled);
    bool FindPreset(const std::string& effect, const std::string& preset, std::string& spelled);
    void WritePreset(const std::string& effect, const std::string& preset, const std::string& path,
                     bool announce);
    // Calls act(effect, preset) for each of the names from index first on that is a preset of
    // the effect, both as the store spells them; reports what is missing.
    void ForEachNamedPreset(const std::string& effectName, const std::vector<std::string>& names,
                            size_t first,
                            const std::function<void(const std::string&, const std::string&)>& act);
    // Reports every problem of an export (writing) or import of the file at path.
    void Report(const std::string& path, const StoreReport& report, bool writing);

    void List(const std::vector<std::string>& args);
    void Export(const std::vector<std::string>& args);
    void Save(const std::vector<std::string>& args);
    void Backup(const std::vector<std::string>& args);
    void Import(const std::vector<std::string>& args);
    void Delete(const std::vector<std::string>& args);

    bool m_failed = false;
};

std::vector<std::string> Presetctl::Names(const std::string& path) {
    std::vector<std::string> names;
    std::vector<std::string> passedOver;
    ListKeyNames(path, names, &passedOver);
    for (const std::string& why : passedOver)
        Fail(path, why.c_str());
    return names;
}

bool Presetctl::FindEffect(const std::string& effect, std::string& spelled) {
    std::vector<std::string> effects;
    ListKeyNames(kEffectsRoot, effects);
    const std::string* found = FindName(effects, effect);
    if (found == nullptr) {
        Fail(effect, "no such effect");
        return false;
    }
    spelled = *found;
    return true;
}

bool Presetctl::FindPreset(const std::string& effect, const std::string& preset,
                           std::string& spelled) {
    std::vector<std::string> presets;
    ListKeyNames(EffectKeyPath(effect), presets);
    const std::string* found = FindName(presets, preset);
    if (found == nullptr) {
        Fail(effect + "\\" + preset, "no such preset");
        return false;
    }
    spelled = *found;
    return true;
}

// The export answers whether its file was opened, written and closed cleanly, so a file that
// is read-only, a folder, held by another program or on a full disk is reported alike.
void Presetctl::WritePreset(const std::string& effect, const std::string& preset,
                            const std::string& path, bool announce) {
    const StoreReport report = ExportPreset(effect.c_str(), preset.c_str(), path.c_str());
    if (announce && report.file == StoreReport::FileState::kDone)
        std::printf("%s\n", path.c_str());
    Report(path, report, true);
}

void Presetctl::Report(const std::string& path, const StoreReport& report, bool writing) {
    if (report.file != StoreReport::FileState::kDone)
        Fail(path, FileProblem(report, writing));
    for (const StoreReport::KeyProblem& entry : report.problems)
        Fail(path + ": " + entry.key, entry.problem.c_str());
}

void Presetctl::List(const std::vector<std::string>& args) {
    std::vector<std::string> names;
    if (args.empty()) {
        names = Names(kEffectsRoot);
    } else {
        std::string effect;
        if (!FindEffect(args[0], effect))
            return;
        names = Names(EffectKeyPath(effect));
    }
    for (const std::string& name : names)
        std::printf("%s\n", name.c_str());
}

void Presetctl::Export(const std::vector<std::string>& args) {
    std::string effect;
    std::string preset;
    if (FindEffect(args[0], effect) && FindPreset(effect, args[1], preset))
        WritePreset(effect, preset, args[2], false);
}

void Presetctl::ForEachNamedPreset(
    const std::string& effectName, const std::vector<std::string>& names, size_t first,
    const std::function<void(const std::string&, const std::string&)>& act) {
    std::string effect;
    if (!FindEffect(effectName, effect))
        return;
    for (size_t i = first; i < names.size(); ++i) {
        std::string preset;
        if (FindPreset(effect, names[i], preset))
            act(effect, preset);
    }
}

void Presetctl::Save(const std::vector<std::string>& args) {
    ForEachNamedPreset(args[1], args, 2, [&](const std::string& effect, const std::string& preset) {
        WritePreset(effect, preset, OutputName(args[0].c_str(), effect.c_str(), preset.c_str()),
                    true);
    });
}

void Presetctl::Backup(const std::vector<std::string>& args) {
    for (const std::string& effect : Names(kEffectsRoot))
        for (const std::string& preset : Names(EffectKeyPath(effect)))
            WritePreset(effect, preset, OutputName(args[0].c_str(), effect.c_str(), preset.c_str()),
                        true);
}

// The files an import argument names: every file that matches it, sorted, when its last part
// holds a wildcard and anything matches; otherwise the argument itself.
std::vector<std::string> MatchingFiles(const std::string& argument) {
    const size_t cut = FindLastOf(argument.data(), argument.size(), "\\/:", SystemLeadByte);
    const std::string folder = cut == argument.size() ? "" : argument.substr(0, cut + 1);
    if (argument.find_first_of("*?", folder.size()) == std::string::npos)
        return {argument};
    const std::string pattern = argument.substr(folder.size());
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(argument.c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
                MatchesFilePattern(pattern.c_str(), found.cFileName))
                names.push_back(found.cFileName);
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    if (names.empty())
        return {argument};
    std::stable_sort(names.begin(), names.end(), NameLess);
    for (std::string& name : names)
        name.insert(0, folder);
    return names;
}

void Presetctl::Import(const std::vector<std::string>& args) {
    for (const std::string& argument : args)
        for (const std::string& path : MatchingFiles(argument))
            Report(path, ImportPresetFile(path.c_str()), false);
}

void Presetctl::Delete(const std::vector<std::string>& args) {
    ForEachNamedPreset(args[0], args, 1, [&](const std::string& effect, const std::string& preset) {
        if (const char* problem = DeleteProblem(RemovePreset(effect.c_str(), preset.c_str())))
            Fail(effect + "\\" + preset, problem);
    });
}

int Presetctl::Run(const std::vector<std::string>& args) {
    if (args.empty()) {
        std::fputs(kUsage, stderr);
        return kExitUsage;
    }
    const std::string& command = args[0];
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    struct Command {
        const char* name;
        size_t minArgs;
        size_t maxArgs;
        void (Presetctl::*run)(const std::vector<std::string>&);
    };
    static const Command kCommands[] = {
        {"list", 0, 1, &Presetctl::List},
        {"export", 3, 3, &Presetctl::Export},
        {"save", 3, SIZE_MAX, &Presetctl::Save},
        {"backup", 1, 1, &Presetctl::Backup},
        {"import", 1, SIZE_MAX, &Presetctl::Import},
        {"delete", 2, SIZE_MAX, &Presetctl::Delete},
    };
    if (command == "--help" || command == "-h" || command == "help" || command == "/?") {
        std::fputs(kUsage, stdout);
        return 0;
    }
    for (const Command& entry : kCommands) {
        if (command != entry.name)
            continue;
        if (rest.size() < entry.minArgs || rest.size() > entry.maxArgs) {
            std::fprintf(stderr,
                         "presetctl: %s: wrong number of arguments (see presetctl --help)\n",
                         entry.name);
            return kExitUsage;
        }
        (this->*entry.run)(rest);
        return m_failed ? kExitFailed : 0;
    }
    std::fprintf(stderr, "presetctl: %s: unknown command (see presetctl --help)\n",
                 command.c_str());
    return kExitUsage;
}

} // namespace

// The C runtime would expand wildcards in every argument before main, also in effect and
// preset names; only import's file arguments take them (MatchingFiles).
extern "C" {
int _dowildcard = 0;
}

int main(int argc, char** argv) {
    Presetctl tool;
    return tool.Run(std::vector<std::string>(argv + 1, argv + argc));
}
