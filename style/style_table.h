// The built-in style table (9 categories x 24 slots), the current style and
// the operations that fill and apply style records.
#pragma once

#include <cstddef>
#include <cstdint>

#include "style/style_record.h"

constexpr int kStyleCategoryCount = 9;
constexpr int kStyleSlotCount = 24;

// Slot 0 of every category holds the category's random entry.
constexpr int kRandomEntrySlot = 0;

// The settings the composition engine reads: what the last ApplyStyle copied,
// changed field by field afterwards.  Process-wide; reset only by
// ResetStyleModule.
StyleRecord& CurrentStyle();

// True when (category, slot) names a slot of the table.
bool IsValidStyleSlot(int category, int slot);
// The record of a slot; out-of-range numbers are clamped into the table.
StyleRecord& StyleTableSlot(int category, int slot);
// The record of a slot, or nullptr when (category, slot) is out of range.
const StyleRecord* FindStyleSlot(int category, int slot);

// Fills every slot: the random entry at slot 0, the catalogue's styles, the
// empty-slot filler elsewhere.  Nothing is cleared beforehand.
void BuildStyleTable();

// Copies `record` over the current style, then chooses the timing databases by
// its key mode (1 major, anything else minor).
void ApplyStyle(const StyleRecord& record);

// The defaults every definition starts from (draws the random riff rhythm).
void SetStyleDefaults(StyleRecord& record);
// Closes a record: default chord list for song_bars bars, channel-1 part
// record over channel 4's when submelody_mode is 6.
void FinaliseStyle(StyleRecord& record);
// Writes `bars` bars of `bar_ticks` ticks ("CMPS", four bars "GMPs", ...) and
// the end mark into a chord list of `list_size` bytes.
void WriteDefaultChordList(int bars, uint8_t* list, size_t list_size, int bar_ticks);
// Stores the fixed riff rhythm over the 96 riff cells.
void SetFixedRiffRhythm(uint8_t* riff);
// Fills `size` bytes of the grid block (grid sets, then use_x, continue_major,
// stroke; 16304 bytes in all) with `fill`, then stores set 0's default
// pn_interval values.
void ClearCustomGrids(StyleRecord& record, uint8_t fill, size_t size);
constexpr size_t kGridBlockSize = 16304;

// The empty-slot filler: defaults, then the finalising step.
void FillEmptyStyleSlot(int category, int slot);

// The two per-slot flag tables beside the style table (nothing reads them).
void ClearPartFlagTables();
// Zeroes one of them (0 or 1).
void ClearPartFlagTable(int table);
int32_t PartFlag(int table, int category, int slot);

// A shorter, faster variant of a style: 24 bars, 10 per cent faster, no
// doubled parts, melody volume 127 and the other volumes scaled with it
// (clamped to 0..127).
void ShortenStyle(StyleRecord& record);

// Another filling of categories 0 and 1 from the catalogue's styles.
void BuildAlternativeStyleTable();

// Zeroes the table, the current style and the flag tables (for tests).
void ResetStyleModule();
