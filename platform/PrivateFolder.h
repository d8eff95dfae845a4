#pragma once

#include <optional>
#include <string>

namespace corvanetov {

// A folder of the user's alone (0700) of small files (0600), each kept under
// a name of its own, so that many programs of the user keep theirs at once
// without a lock or a shared file. A file is replaced whole: a reader finds
// the old text or the new, never a part. A link in place of the folder or of
// a file is never followed, and what is no regular file is never read.
class PrivateFolder {
public:
    explicit PrivateFolder(std::string path);

    // One file name that stands for text: its bytes but letters, digits and
    // "-_:,+@" as %XX (a leading dot too); a long text's name ends in a
    // hash of it instead, within the length a folder takes.
    static std::string NameFor(const std::string& text);

    // The file's text; none where there is no such regular file.
    std::optional<std::string> Read(const std::string& name) const;
    // Makes the folder where it is missing; false when the text is not kept.
    bool Write(const std::string& name, const std::string& text) const;
    void Remove(const std::string& name) const;

private:
    // The folder's descriptor, or -1; a folder others may enter is narrowed.
    int Open(bool create) const;

    std::string m_path;
};

} // namespace corvanetov
