// The RAR 2.0 decompression engine: packed input, code tables, LZ decoder.
// Every function works on one UnpackState and its window; the decoded bytes
// leave only through the state's output routine.
#pragma once
#include <cstdint>

#include "unpack/unpack_state.h"

// Packed input and bit reader.
// Reads up to count bytes of the entry's packed data (never more than
// packedRemaining) into dest; returns how many came, 0 at the end of the data
// or when there is no input stream.
int ReadPacked(UnpackState* state, uint8_t* dest, int32_t count);
// first: fills the whole input buffer. Otherwise keeps the buffer's last 32
// bytes (where the reading position stands) at its start and fills the rest;
// inputDrained is set once a read brings less than asked.
void RefillInput(UnpackState* state, bool first);
// The next 16 bits of the input, most significant first, without consuming them.
uint32_t PeekBits(const UnpackState* state);
void SkipBits(UnpackState* state, uint32_t n);

// Code tables.
// Builds the canonical decode table of count code lengths (0 = unused symbol).
void BuildDecodeTable(const uint8_t* lengths, DecodeTable* table, uint32_t count);
// Decodes and consumes one symbol of the table at the reading position.
uint32_t DecodeSymbol(UnpackState* state, const DecodeTable* table);
// Reads a table block at the reading position and builds the tables it gives.
void ReadCodeTables(UnpackState* state);
// Reads a table block that follows an entry's last symbol, if one is there.
void ReadTrailingTables(UnpackState* state);

// LZ decoder.
// Decodes one entry: up to unpackedRemaining bytes from packedRemaining packed
// bytes, handed to the output routine. solid: continue the window, tables and
// history of the entry before; otherwise start from an empty window.
// Afterwards unpackedRemaining is -1 exactly when the entry came out whole.
void UnpackEntry(UnpackState* state, uint8_t* window, int solid);
void ResetUnpackState(UnpackState* state, int solid);
// Makes the copy of copyLength bytes at copyDistance and records it in the history.
void CopyMatch(UnpackState* state);
// Hands the bytes produced since the last flush to the output routine.
void FlushWindow(UnpackState* state);
