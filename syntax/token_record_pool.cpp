#include "syntax/token_record_pool.h"

TokenRecordPool::~TokenRecordPool() {
    for (TokenRecord* record : records_) delete record;
}
