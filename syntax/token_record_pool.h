// Token records handed back by the engine, kept for the next token instead
// of a heap round trip each. Every parse listener that owns its records uses
// one.
#pragma once

#include <cstdlib>
#include <vector>

#include "syntax/token_record.h"

class TokenRecordPool {
public:
    TokenRecordPool() = default;
    TokenRecordPool(const TokenRecordPool&) = delete;
    TokenRecordPool& operator=(const TokenRecordPool&) = delete;
    ~TokenRecordPool();

    // A record holding no node and no doc comment, for the engine to renew
    // (TokenRecord::renew): a kept one, else a fresh one. Inline, as give():
    // the engine takes and gives a record for nearly every token.
    TokenRecord* take() {
        if (records_.empty()) return new TokenRecord();
        TokenRecord* record = records_.back();
        records_.pop_back();
        return record;
    }
    // Frees the record's doc comment, releases its node and keeps it; null
    // is ignored.
    void give(TokenRecord* record) {
        if (record != nullptr) keep(record);
    }
    // give() for each of `count` records, none null.
    void giveAll(TokenRecord* const* records, int count) {
        for (int i = 0; i < count; ++i) keep(records[i]);
    }

private:
    void keep(TokenRecord* record) {
        if (record->docComment != nullptr) {
            std::free(record->docComment);
            record->docComment = nullptr;
        }
        record->node.reset();
        records_.push_back(record);
    }

    std::vector<TokenRecord*> records_;
};
