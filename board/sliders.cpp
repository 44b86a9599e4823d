#include "board/sliders.h"

#include <random>

#include "board/bitops.h"
#include "board/tables.h"

SliderTable rookTables[64];
SliderTable bishopTables[64];

namespace {

// Multipliers that the search below found with its seed, written down so that start-up only has
// to check them; a square whose multiplier fails the check is searched for again.
constexpr Bitboard ROOK_MULTIPLIERS[64] = {
    0x0080002040008010ULL, 0x21401000c000a000ULL, 0xaa00100a00402080ULL, 0x0080100080080004ULL,
    0x0480024400080080ULL, 0x0080020080040001ULL, 0x0a000100a4220008ULL, 0x8180148000402100ULL,
    0x9080800090284000ULL, 0x0204400220100040ULL, 0x0b60801008802001ULL, 0x8401000821041000ULL,
    0x0121000800041102ULL, 0x1012004200042890ULL, 0x0008800100800200ULL, 0x0002002110440482ULL,
    0x0000808000400020ULL, 0x1021010040008029ULL, 0x180083801000a000ULL, 0x000a920042000820ULL,
    0x0280808004000800ULL, 0x0902010100080400ULL, 0x4412008080020100ULL, 0x01e0020011004084ULL,
    0x0840004480008024ULL, 0x0840080020003004ULL, 0x0240200100410011ULL, 0x2400080480100082ULL,
    0x7000100500080100ULL, 0x9400020080800400ULL, 0x3d0c0104000250a8ULL, 0x6000008200010044ULL,
    0x4280004000c02008ULL, 0x0000201000400040ULL, 0x4000802000801000ULL, 0x0040820802803000ULL,
    0x0800040080800800ULL, 0x8211000803000400ULL, 0x0402002822000401ULL, 0x80000400420000a1ULL,
    0x4810208040008000ULL, 0x0040002810012000ULL, 0x1008600041070010ULL, 0x2080100822020040ULL,
    0xa100040008008080ULL, 0x0042000409020010ULL, 0x000408302f040032ULL, 0x040008c412a20001ULL,
    0x2000800041002100ULL, 0x8000210040920200ULL, 0x4010041084200080ULL, 0x4008100680080080ULL,
    0x0052005060040a00ULL, 0x1002001044189200ULL, 0x010010280b0e0c00ULL, 0x04002c0040810200ULL,
    0x0009122200c08102ULL, 0x0001002080104001ULL, 0x0080504aa0010043ULL, 0x0a10210008041001ULL,
    0x0605001004020801ULL, 0x5515000204000801ULL, 0x138090900102080cULL, 0x4000004108241082ULL,
};
constexpr Bitboard BISHOP_MULTIPLIERS[64] = {
    0x8210810808204240ULL, 0x1030040840504090ULL, 0x2008020462020000ULL, 0x0004104202002140ULL,
    0x4b04042019040022ULL, 0x0c0248200400c088ULL, 0x00104202a0200040ULL, 0x001ac04808080300ULL,
    0x0000420408220041ULL, 0x2008104102240040ULL, 0x0840080811002040ULL, 0x4000082040406500ULL,
    0x0100040420000002ULL, 0xd200020242200110ULL, 0x8404808401601020ULL, 0x0000820084494802ULL,
    0x0104002004248820ULL, 0x2008101190008080ULL, 0x301400080806d014ULL, 0x042021120600c004ULL,
    0x008c004200940000ULL, 0x201a001100410485ULL, 0x100412c104010400ULL, 0x2002020910420200ULL,
    0x0248402920822203ULL, 0x0898152020010222ULL, 0x4000480684002c00ULL, 0x9c01080094004010ULL,
    0x0104082004002000ULL, 0x4090990002010080ULL, 0x8042108084008800ULL, 0x028040820a0a2102ULL,
    0x0212021211c01049ULL, 0x0128012402110400ULL, 0x4100108804100041ULL, 0x0040020081280080ULL,
    0x0100440401004100ULL, 0x0020080a40022408ULL, 0x00010101000e0820ULL, 0xc11202020a013381ULL,
    0x00080104204a1000ULL, 0x0020510420089000ULL, 0x0440404020841000ULL, 0x0000204208040080ULL,
    0x4204484104006041ULL, 0x0801200800820040ULL, 0x0010440084102883ULL, 0x0022080210940120ULL,
    0x0824120804041000ULL, 0x2114908410022011ULL, 0x082c8e0631040020ULL, 0x0404000084040080ULL,
    0x04000204208a1001ULL, 0x0304206002008102ULL, 0x0220200212004422ULL, 0x3010442840404000ULL,
    0x7401002201344000ULL, 0x0080004048049041ULL, 0x2040182a44040420ULL, 0x0001031081084802ULL,
    0x8002402028210441ULL, 0x0080a04004082220ULL, 0x00004108a1240080ULL, 0x8040810405294100ULL,
};

constexpr int ROOK_ENTRIES = 102400;   // the sum over squares of 2^(mask bits)
constexpr int BISHOP_ENTRIES = 5248;
Bitboard rookAttackTable[ROOK_ENTRIES];
Bitboard bishopAttackTable[BISHOP_ENTRIES];

// Attacks along the given rays, each stopped by its first blocker (which is attacked).
Bitboard rayAttacks(int sq, Bitboard occupied, const Bitboard* const* rays, const bool* rising,
                    int count) {
  Bitboard attacks = 0;
  for (int i = 0; i < count; ++i) {
    const Bitboard ray = rays[i][sq];
    const Bitboard blockers = ray & occupied;
    if (!blockers) {
      attacks |= ray;
      continue;
    }
    const int first = rising[i] ? lowestBit(blockers) : highestBit(blockers);
    attacks |= ray & ~rays[i][first];
  }
  return attacks;
}

// The ray squares that can block: each ray without its last square.
Bitboard blockerMask(int sq, const Bitboard* const* rays, const bool* rising, int count) {
  Bitboard mask = 0;
  for (int i = 0; i < count; ++i) {
    Bitboard ray = rays[i][sq];
    if (!ray) continue;
    ray &= ~bitOf(rising[i] ? highestBit(ray) : lowestBit(ray));
    mask |= ray;
  }
  return mask;
}

// Finds a multiplier for every square that maps each subset of its mask to an index where it
// meets only subsets with the same attacks, and fills that square's block.
void buildTables(SliderTable* tables, Bitboard* storage, const Bitboard* const* rays,
                 const bool* rising, int count, const Bitboard* known,
                 std::mt19937_64& random) {
  static Bitboard subsets[4096], attacks[4096];
  static int used[4096];
  Bitboard* block = storage;
  for (int sq = 0; sq < 64; ++sq) {
    SliderTable& t = tables[sq];
    t.mask = blockerMask(sq, rays, rising, count);
    const int bits = popCount(t.mask);
    t.shift = 64 - bits;
    t.attacks = block;
    // Every subset of the mask (carry-rippler enumeration) with its true attack set.
    int n = 0;
    Bitboard subset = 0;
    do {
      subsets[n] = subset;
      attacks[n] = rayAttacks(sq, subset, rays, rising, count);
      ++n;
      subset = (subset - t.mask) & t.mask;
    } while (subset);
    for (int attempt = 1;; ++attempt) {
      if (attempt == 1) {
        t.multiplier = known[sq];
      } else {
        // Sparse candidates (few bits set) succeed far more often.
        t.multiplier = random() & random() & random();
        if (popCount((t.mask * t.multiplier) >> 56) < 6) continue;
      }
      bool fits = true;
      for (int i = 0; i < n && fits; ++i) {
        const unsigned index = t.index(subsets[i]);
        if (used[index] != attempt) {
          used[index] = attempt;
          block[index] = attacks[i];
        } else if (block[index] != attacks[i]) {
          fits = false;
        }
      }
      if (fits) break;
    }
    for (int i = 0; i < n; ++i) used[i] = 0;
    block += n;
  }
}

}  // namespace

void initSliderTables() {
  std::mt19937_64 random(0x636F7276616E656CULL);
  const Bitboard* rookRaysList[4] = {rayNorth, raySouth, rayEast, rayWest};
  const bool rookRising[4] = {true, false, true, false};
  const Bitboard* bishopRaysList[4] = {rayNorthEast, rayNorthWest, raySouthEast, raySouthWest};
  const bool bishopRising[4] = {true, true, false, false};
  buildTables(rookTables, rookAttackTable, rookRaysList, rookRising, 4, ROOK_MULTIPLIERS, random);
  buildTables(bishopTables, bishopAttackTable, bishopRaysList, bishopRising, 4, BISHOP_MULTIPLIERS,
              random);
}
