#include "syntax/token_record_pool.h"

#include <cstdlib>

TokenRecordPool::~TokenRecordPool() {
    for (TokenRecord* record : records_) delete record;
}

TokenRecord* TokenRecordPool::take() {
    if (records_.empty()) return new TokenRecord();
    TokenRecord* record = records_.back();
    records_.pop_back();
    return record;
}

void TokenRecordPool::give(TokenRecord* record) {
    if (record == nullptr) return;
    if (record->docComment != nullptr) std::free(record->docComment);
    record->reset();
    records_.push_back(record);
}
