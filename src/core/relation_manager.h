#pragma once

#include "core/file_manager.h"

#include <vector>

namespace tessaly {

// A one-to-many link between two files by equal field values, cascading on
// update and on delete. The child's key decides whether letter case counts
// in the match.
struct Relation {
    FileManager* parent = nullptr;
    FileManager* child = nullptr;
    int parentField = 0;
    int childField = 0;
    int childKey = 0;
};

// Applies the cascade rules of the relations between files: a change of a
// parent's linking field reaches every child, a deleted parent takes its
// children (and theirs) with it. Each change is one transaction across all
// files involved, so after a crash the files hold either the old state or
// the new one.
class RelationManager final {
public:
    RelationManager(FileManager& primary, std::vector<Relation> relations,
                    MessageManager& messages);

    FileManager& primary() { return primary_; }

    // Opens (uses) the primary file and every file related to it; close()
    // releases them again.
    int open();
    void close();

    // Rewrites `changed` (read from the file, as `original` was) and moves
    // the children of every changed linking field to the new value.
    int update(const Record& original, const Record& changed);

    // Deletes `record` with its children and theirs.
    int remove(const Record& record);

private:
    std::vector<const Relation*> childrenOf(const FileManager& parent) const;
    EngineStatus deleteRows(FileManager& file, int depth, const std::string& condition,
                            const Record& anchor);
    EngineStatus moveChildren(const Relation& relation, const Record& original,
                              const Record& changed);
    int fail(std::uint16_t number, const EngineStatus& status);

    FileManager& primary_;
    std::vector<Relation> relations_;
    MessageManager& messages_;
};

} // namespace tessaly
