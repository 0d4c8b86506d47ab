#pragma once
// easylogging++ declares a stream operator for QLinkedList, which Qt leaves out once the
// deprecated APIs are disabled. Declared, never defined: nothing of ours logs one.
template <typename T>
class QLinkedList;
