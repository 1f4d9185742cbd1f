// Token records handed back by the engine, kept for the next token instead
// of a heap round trip each. Every parse listener that owns its records uses
// one.
#pragma once

#include <vector>

#include "syntax/token_record.h"

class TokenRecordPool {
public:
    TokenRecordPool() = default;
    TokenRecordPool(const TokenRecordPool&) = delete;
    TokenRecordPool& operator=(const TokenRecordPool&) = delete;
    ~TokenRecordPool();

    // A record as new: a kept one, else a fresh one.
    TokenRecord* take();
    // Frees the record's doc comment, releases its node and keeps it; null
    // is ignored.
    void give(TokenRecord* record);

private:
    std::vector<TokenRecord*> records_;
};
