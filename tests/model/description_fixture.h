#pragma once
// Shared set-up of the description-file tests: empty tables, a temporary folder, and records framed
// by hand for the files the writer will not make.
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "base/cp1251.h"
#include "base/native_path.h"
#include "model/description_writer.h"
#include "model/group_file.h"
#include "model/route_file.h"
#include "model/template_file.h"
#include "support/recording_presenter.h"
#include "support/temp_dir.h"

class DescriptionTest : public ::testing::Test {
protected:
    void SetUp() override { ClearTables(); }
    void TearDown() override { ClearTables(); }
    static void ClearTables() {
        ClearRouteTable();  // routes hold template sets
        ClearTemplateTable();
        ClearGroupTable();
    }

    // Bytes as a file below the temporary folder; returns the path as the model names it.
    std::string File(std::string_view name, std::string_view bytes) const {
        EXPECT_TRUE(WriteDescriptionBytes((dir / name).string(), bytes));
        return (dir / name).string();
    }

    TempDir dir;
    RecordingPresenter mes;
};

inline std::string Records(const std::vector<std::string>& records) {
    std::string out;
    for (const std::string& r : records) out += DescriptionRecord(r);
    return out;
}

inline std::string Cp(std::string_view utf8) { return Utf8ToCp1251(utf8); }
