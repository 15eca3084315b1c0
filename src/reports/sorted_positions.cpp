#include "reports/sorted_positions.h"

#include "framework/system_file.h"

#include <algorithm>
#include <cerrno>

namespace tessaly {

// One sorted run in its temporary file and the entry at its head.
struct SortedPositions::Run {
    std::FILE* file = nullptr;
    Entry head;
    bool has = false;

    ~Run()
    {
        if (file != nullptr) {
            std::fclose(file);
        }
    }

    template <typename T> bool put(const T& value)
    {
        return std::fwrite(&value, sizeof value, 1, file) == 1;
    }
    template <typename T> bool get(T& value)
    {
        return std::fread(&value, sizeof value, 1, file) == 1;
    }

    bool write(const Entry& entry)
    {
        bool good = put(static_cast<std::uint8_t>(entry.key.size())) && put(entry.position) &&
                    put(entry.arrival);
        for (const Value& value : entry.key) {
            if (value.isText()) {
                const std::string_view text = value.asText();
                good = good && put('T') && put(static_cast<std::uint32_t>(text.size())) &&
                       std::fwrite(text.data(), 1, text.size(), file) == text.size();
            } else {
                good = good && put('N') && put(value.asNumber());
            }
        }
        return good;
    }

    // Reads the next entry into head; false at the end of the run.
    bool advance()
    {
        std::uint8_t count = 0;
        has = get(count) && get(head.position) && get(head.arrival);
        head.key.clear();
        for (std::uint8_t i = 0; has && i < count; ++i) {
            char type = 0;
            has = get(type);
            if (has && type == 'T') {
                std::uint32_t size = 0;
                std::string text;
                has = get(size);
                text.resize(size);
                has = has && (size == 0 || std::fread(text.data(), 1, size, file) == size);
                head.key.push_back(Value::owned(std::move(text)));
            } else if (has) {
                double number = 0;
                has = get(number);
                head.key.push_back(Value::number(number));
            }
        }
        return has;
    }
};

SortedPositions::SortedPositions(const SortOrder& order, std::size_t runLength)
    : order_(order), runLength_(std::max<std::size_t>(runLength, 1))
{}

SortedPositions::~SortedPositions() = default;

void SortedPositions::fail(int errorNumber)
{
    if (error_.empty()) {
        error_ = "the sort could not be kept: " +
                 SystemResult::fromErrno(errorNumber != 0 ? errorNumber : EIO).text;
    }
}

bool SortedPositions::less(const Entry& a, const Entry& b) const
{
    const int c = order_.compare(a.key, b.key);
    return c != 0 ? c < 0 : a.arrival < b.arrival;
}

void SortedPositions::add(const FieldSource& record, std::int64_t position)
{
    Entry entry;
    // The record's buffer is read over by the next record: keep copies.
    for (const Value& value : order_.key(record)) {
        entry.key.push_back(value.isText() ? Value::owned(std::string{value.asText()})
                                           : Value::number(value.asNumber()));
    }
    entry.position = position;
    entry.arrival = added_++;
    pending_.push_back(std::move(entry));
    if (pending_.size() >= runLength_) {
        spill();
    }
}

void SortedPositions::spill()
{
    if (pending_.empty()) {
        return;
    }
    std::sort(pending_.begin(), pending_.end(),
              [this](const Entry& a, const Entry& b) { return less(a, b); });
    auto run = std::make_unique<Run>();
    run->file = std::tmpfile();
    bool good = run->file != nullptr;
    for (const Entry& entry : pending_) {
        good = good && run->write(entry);
    }
    good = good && std::fflush(run->file) == 0 && std::fseek(run->file, 0, SEEK_SET) == 0;
    if (!good) {
        fail(errno);
    }
    pending_.clear();
    if (run->file != nullptr) {
        runs_.push_back(std::move(run));
    }
}

void SortedPositions::finish()
{
    spill();
    for (const auto& run : runs_) {
        if (!run->advance() && std::ferror(run->file) != 0) {
            fail(errno);
        }
    }
}

bool SortedPositions::next(std::int64_t& position)
{
    Run* first = nullptr;
    for (const auto& run : runs_) {
        if (run->has && (first == nullptr || less(run->head, first->head))) {
            first = run.get();
        }
    }
    if (first == nullptr || !error_.empty()) {
        return false;
    }
    position = first->head.position;
    if (!first->advance() && std::ferror(first->file) != 0) {
        fail(errno);
    }
    return true;
}

} // namespace tessaly
