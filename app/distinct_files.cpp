#include "app/distinct_files.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "app/exit_codes.h"
#include "common/atomic_file.h"

namespace tweather {

namespace {

// What a name leads to: the file itself when it exists, else its resolved path.
struct FileIdentity {
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    std::string resolved;
};

FileIdentity identify(const std::string& path) {
    FileIdentity id;
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        id.exists = true;
        id.device = st.st_dev;
        id.inode = st.st_ino;
    }
    std::error_code ec;
    std::filesystem::path p = std::filesystem::weakly_canonical(std::filesystem::absolute(path, ec), ec);
    id.resolved = ec ? std::filesystem::path(path).lexically_normal().string() : p.string();
    return id;
}

bool sameFile(const FileIdentity& a, const FileIdentity& b) {
    if (a.exists && b.exists) return a.device == b.device && a.inode == b.inode;
    return a.resolved == b.resolved;
}

std::string lowerExtension(const std::string& path) {
    std::string ext = std::filesystem::path(path).extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return ext;
}

struct WrittenFile {
    const NamedFile* output;
    std::string path;
    FileIdentity id;
};

std::string describe(const WrittenFile& w) {
    std::string text = w.output->option + " '" + w.output->path + "'";
    if (w.path != w.output->path) text += " (its '" + w.path + "')";
    return text;
}

}  // namespace

std::vector<std::string> filesWrittenFor(const NamedFile& output) {
    std::vector<std::string> files{output.path};
    if (output.objWithMtl && lowerExtension(output.path) == ".obj")
        files.push_back(output.path.substr(0, output.path.size() - 4) + ".mtl");
    return files;
}

int checkOutputs(const std::vector<NamedFile>& inputs, const std::vector<NamedFile>& outputs, std::string& error) {
    if (!checkDistinctFiles(inputs, outputs, error)) return kExitUsage;
    if (!checkOutputTargets(outputs, error)) return kExitIo;
    return 0;
}

bool checkOutputTargets(const std::vector<NamedFile>& outputs, std::string& error) {
    for (const NamedFile& out : outputs) {
        if (out.path.empty()) continue;
        for (const std::string& file : filesWrittenFor(out))
            if (!wx::checkWritableTarget(file, error)) {
                error = out.option + ": " + error;
                return false;
            }
    }
    return true;
}

bool checkDistinctFiles(const std::vector<NamedFile>& inputs, const std::vector<NamedFile>& outputs,
                        std::string& error) {
    std::vector<WrittenFile> written;
    for (const NamedFile& out : outputs) {
        if (out.path.empty()) continue;
        for (const std::string& file : filesWrittenFor(out)) written.push_back({&out, file, identify(file)});
    }
    for (const NamedFile& in : inputs) {
        if (in.path.empty()) continue;
        const FileIdentity id = identify(in.path);
        for (const WrittenFile& w : written)
            if (sameFile(w.id, id)) {
                error = describe(w) + " is the input " + in.option + " '" + in.path +
                        "': writing it would destroy what is read; name another output";
                return false;
            }
    }
    for (size_t i = 0; i < written.size(); ++i)
        for (size_t j = i + 1; j < written.size(); ++j)
            if (sameFile(written[i].id, written[j].id)) {
                error = describe(written[j]) + " is the same file as " + describe(written[i]) +
                        "; give each output its own file";
                return false;
            }
    return true;
}

}  // namespace tweather
