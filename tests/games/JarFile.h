#pragma once

#include <zip.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

// Writes a real zip archive with libzip, the way a build tool would, so a
// test can make the exact archive it needs (hostile ones included: libzip
// stores whatever names it is given).
class JarFile {
public:
    JarFile& add(std::string name, std::string contents, bool stored = false)
    {
        m_entries.push_back({std::move(name), std::move(contents), stored});
        return *this;
    }

    // A manifest holding `lines` (each without its line end) and a blank
    // line after them.
    JarFile& manifest(const std::vector<std::string>& lines)
    {
        std::string text;
        for (const std::string& line : lines)
            text += line + "\r\n";
        return add("META-INF/MANIFEST.MF", text + "\r\n");
    }

    void write(const std::filesystem::path& file) const
    {
        std::filesystem::create_directories(file.parent_path());
        int code = 0;
        zip_t* archive = zip_open(file.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &code);
        if (!archive)
            throw std::runtime_error("cannot create " + file.string());
        for (const Entry& entry : m_entries) {
            zip_source_t* source = zip_source_buffer(archive, entry.contents.data(), entry.contents.size(), 0);
            const zip_int64_t index = zip_file_add(archive, entry.name.c_str(), source, ZIP_FL_ENC_UTF_8);
            if (index < 0) {
                zip_source_free(source);
                zip_discard(archive);
                throw std::runtime_error("cannot add " + entry.name);
            }
            zip_set_file_compression(archive, static_cast<zip_uint64_t>(index),
                                     entry.stored ? ZIP_CM_STORE : ZIP_CM_DEFLATE, 9);
        }
        if (zip_close(archive) != 0) {
            zip_discard(archive);
            throw std::runtime_error("cannot write " + file.string());
        }
    }

private:
    struct Entry {
        std::string name;
        std::string contents;
        bool stored;
    };
    std::vector<Entry> m_entries;
};
