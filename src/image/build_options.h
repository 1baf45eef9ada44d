#pragma once
// What a build of a route group depends on besides its files. The window fills it from its check
// boxes and the settings, `lmk build` from its arguments and the settings, tests directly.
#include <cstdint>

struct BuildOptions {
    bool compact = false;          // "Компактное построение"
    bool substituteTatar = false;  // "Выполнять подмену татарских букв похожими"
    bool boardsBeforeV27 = false;  // "Символьные табло ранее v2.7"
    int32_t lang2ToV23 = 0;        // board text variant 0..4
    bool isLang2 = false;          // texts and voices of language 2 enabled
    bool isLang3 = false;          // texts and voices of language 3 enabled

    // Before the build proper the group's voices that need packing are packed side by side.
    bool packInParallel = true;
    unsigned packThreads = 0;  // 0: one per core
};
