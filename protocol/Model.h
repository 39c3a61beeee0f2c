#pragma once
// The module models the program talks to. The values are the model numbers: the main window
// holds its model as this 32-bit number (0 until start-up selects one), the command line and
// the logs name it so.

enum class Model : int { kNone = 0, k612 = 612, k640 = 640 };

// The rate of the module's line: 4800 baud for the 640, 1200 for the 612 (8N1 for both).
constexpr int BaudRateOf(Model model) {
    return model == Model::k640 ? 4800 : 1200;
}

// 612 or 640 (0 for none), for texts and logs.
constexpr int ModelNumber(Model model) {
    return static_cast<int>(model);
}
