// A folder of its own for a test's files, removed with everything in it
// when the test ends.
#pragma once
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>

struct ScratchFolder {
    std::string path;

    ScratchFolder()
    {
        char pattern[] = "/tmp/lightcurves_test_XXXXXX";
        const char *made = mkdtemp(pattern);
        path = made != nullptr ? made : "/tmp";
    }
    ~ScratchFolder() { Remove(path); }
    ScratchFolder(const ScratchFolder &) = delete;
    ScratchFolder &operator=(const ScratchFolder &) = delete;

    // Writes a file of the folder and returns its path.
    std::string Write(const std::string &name, const std::string &content) const
    {
        const std::string file = path + "/" + name;
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out << content;
        return file;
    }
    std::string PathOf(const std::string &name) const { return path + "/" + name; }

    static void Remove(const std::string &folder)
    {
        if (folder == "/tmp")
            return;
        if (DIR *dir = opendir(folder.c_str())) {
            while (const dirent *entry = readdir(dir)) {
                const std::string name = entry->d_name;
                if (name != "." && name != "..")
                    unlink((folder + "/" + name).c_str());
            }
            closedir(dir);
        }
        rmdir(folder.c_str());
    }
};
