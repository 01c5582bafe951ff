#pragma once

#include "record/lineserver.h"
#include "record/stores/testpostgres.h"

#include <gtest/gtest.h>

#include <memory>

namespace dravex::testing {

// A test with a PostgreSQL server of its own; skipped, saying why, where none can be started.
class PostgresTest : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string reason = TestPostgres::unavailable();
        if (!reason.empty())
            GTEST_SKIP() << reason;
        m_server = std::make_unique<TestPostgres>();
    }

    std::unique_ptr<LineServer> connect() {
        std::string error;
        std::unique_ptr<LineServer> server = LineServer::connect(m_server->connection(), error);
        EXPECT_TRUE(server) << error;
        return server;
    }

    // Everything the server holds; nothing, and a failed expectation, when it cannot be read.
    std::vector<ProductionRecord> serverRecords(const RecordFilter &filter = {}) {
        std::unique_ptr<LineServer> server = connect();
        std::string error;
        auto records = server ? server->select(filter, error) : std::nullopt;
        EXPECT_TRUE(records) << error;
        return records.value_or(std::vector<ProductionRecord>());
    }

    std::unique_ptr<TestPostgres> m_server;
};

} // namespace dravex::testing
