#pragma once
// The process-wide list that GetQuestion searches. Nothing in the tool adds to it.
#include <string>
#include <vector>

extern std::vector<std::wstring> g_arrQuestions;
