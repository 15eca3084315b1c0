#include "core/relation_manager.h"

#include "core/sqlite.h"

namespace tessaly {

namespace {

constexpr std::uint16_t kMsgDeleteError = 11;

std::string alias(int depth)
{
    return "a" + std::to_string(depth);
}

// The child's linking column as its key compares it: the folded copy for a
// case-insensitive key.
std::string linkExpression(const Relation& relation, const std::string& tableAlias)
{
    const TableDef& child = relation.child->table();
    const KeyDef& key = child.keys[static_cast<std::size_t>(relation.childKey)];
    if (key.noCase && child.isText(relation.childField)) {
        return tableAlias + "." + sql::quoteName(child.foldedColumn(relation.childField));
    }
    return tableAlias + "." + sql::quoteName(child.column(relation.childField));
}

// A parent's value (an SQL expression) as the child's link compares it.
std::string linkValue(const Relation& relation, const std::string& value)
{
    const TableDef& child = relation.child->table();
    const KeyDef& key = child.keys[static_cast<std::size_t>(relation.childKey)];
    if (key.noCase && child.isText(relation.childField)) {
        return std::string{sql::kFoldFunction} + "(" + value + ")";
    }
    return value;
}

} // namespace

RelationManager::RelationManager(FileManager& primary, std::vector<Relation> relations,
                                 MessageManager& messages)
    : primary_(primary), relations_(std::move(relations)), messages_(messages)
{}

std::vector<const Relation*> RelationManager::childrenOf(const FileManager& parent) const
{
    std::vector<const Relation*> children;
    for (const Relation& relation : relations_) {
        if (relation.parent == &parent) {
            children.push_back(&relation);
        }
    }
    return children;
}

int RelationManager::open()
{
    if (const int level = primary_.use(); level != kLevelDone) {
        return level;
    }
    for (const Relation& relation : relations_) {
        if (const int level = relation.child->use(); level != kLevelDone) {
            return level;
        }
    }
    return kLevelDone;
}

void RelationManager::close()
{
    for (auto it = relations_.rbegin(); it != relations_.rend(); ++it) {
        it->child->close();
    }
    primary_.close();
}

int RelationManager::fail(std::uint16_t number, const EngineStatus& status)
{
    MessageManager::setFile(primary_.name());
    MessageManager::setError(status.code, status.text);
    MessageManager::setFileError(status.systemCode, status.systemText);
    return messages_.raise(number);
}

EngineStatus RelationManager::moveChildren(const Relation& relation, const Record& original,
                                           const Record& changed)
{
    RecordFile& child = relation.child->file();
    const TableDef& childTable = child.table();
    std::string assignments = sql::quoteName(childTable.column(relation.childField)) + " = ?1";
    if (childTable.isFolded(relation.childField)) {
        assignments += ", " + sql::quoteName(childTable.foldedColumn(relation.childField)) + " = " +
                       std::string{sql::kFoldFunction} + "(?1)";
    }
    sql::Statement move{child.engine().connection(), "UPDATE " + child.qualifiedName() +
                                                         " AS a0 SET " + assignments + " WHERE " +
                                                         linkExpression(relation, "a0") + " = " +
                                                         linkValue(relation, "?2")};
    const TableDef& parent = relation.parent->table();
    if (parent.isText(relation.parentField)) {
        move.bind(1, changed.text(relation.parentField));
        move.bind(2, original.text(relation.parentField));
    } else {
        move.bind(1, changed.number(relation.parentField));
        move.bind(2, original.number(relation.parentField));
    }
    return move.run();
}

int RelationManager::update(const Record& original, const Record& changed)
{
    Engine& engine = primary_.file().engine();
    EngineStatus status = engine.begin();
    for (const Relation* relation : childrenOf(primary_)) {
        if (!status.ok()) {
            break;
        }
        const TableDef& parent = relation->parent->table();
        const bool moved =
            parent.isText(relation->parentField)
                ? original.text(relation->parentField) != changed.text(relation->parentField)
                : original.number(relation->parentField) != changed.number(relation->parentField);
        if (moved) {
            status = moveChildren(*relation, original, changed);
        }
    }
    if (status.ok()) {
        status = primary_.file().put(changed);
    }
    if (!status.ok()) {
        engine.rollback();
        // As a single update says it: a duplicate names the key it breaks.
        primary_.adviseOnDuplicate(status, changed);
        return primary_.reportWriteError(status, false);
    }
    status = engine.commit();
    if (!status.ok()) {
        return primary_.reportWriteError(status, false);
    }
    engine.noteWrite();
    return kLevelDone;
}

EngineStatus RelationManager::deleteRows(FileManager& file, int depth, const std::string& condition,
                                         const Record& anchor)
{
    // Children first, each described by an EXISTS on the parent rows that
    // go, so a category's deletion reaches its bookmarks' keywords.
    for (const Relation* relation : childrenOf(file)) {
        const std::string parentAlias = alias(depth);
        const std::string childAlias = alias(depth + 1);
        const std::string childCondition =
            "EXISTS (SELECT 1 FROM " + file.file().qualifiedName() + " AS " + parentAlias +
            " WHERE " + condition + " AND " + linkExpression(*relation, childAlias) + " = " +
            linkValue(*relation, parentAlias + "." +
                                     sql::quoteName(file.table().column(relation->parentField))) +
            ")";
        EngineStatus status = deleteRows(*relation->child, depth + 1, childCondition, anchor);
        if (!status.ok()) {
            return status;
        }
    }
    sql::Statement remove{file.file().engine().connection(),
                          "DELETE FROM " + file.file().qualifiedName() + " AS " + alias(depth) +
                              " WHERE " + condition};
    remove.bind(1, anchor.position);
    return remove.run();
}

int RelationManager::remove(const Record& record)
{
    Engine& engine = primary_.file().engine();
    EngineStatus status = engine.begin();
    if (status.ok()) {
        status = deleteRows(primary_, 0, alias(0) + ".rowid = ?1", record);
    }
    if (status.ok() && engine.connection().changes() == 0) {
        status = EngineStatus::error(kRecordNotFound);
    }
    if (!status.ok()) {
        engine.rollback();
        return fail(kMsgDeleteError, status);
    }
    status = engine.commit();
    if (!status.ok()) {
        return fail(kMsgDeleteError, status);
    }
    engine.noteWrite();
    return kLevelDone;
}

} // namespace tessaly
