// A room's table of Windows calls, copied before a test swaps its fakes in and put back as it was
// when the saver goes, so that no test needs the product to hand out its real table.
#pragma once

template <typename Table>
class SavedTable {
public:
    explicit SavedTable(Table& table) : table_(table), saved_(table) {}
    ~SavedTable() { restore(); }
    SavedTable(const SavedTable&) = delete;
    SavedTable& operator=(const SavedTable&) = delete;

    // Puts it back before the saver goes, where the order of things matters.
    void restore() const { table_ = saved_; }

private:
    Table& table_;
    const Table saved_;
};
