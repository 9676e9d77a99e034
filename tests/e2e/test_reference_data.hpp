// A small reference data set for the end-to-end tests, with round numbers so that every expected
// figure can be worked out by hand. All values below are in ppm as the files write them; the tests
// work in tenths.
//
// Residues (NAMES.PS):
//   Hex  hexopyranose, class glc (no equatorial proton at 2, 3, 4: ring code 0),
//        O-substitutable 2, 3, 4, 6
//   Gan  2-amino hexopyranose, class gal (equatorial 4: ring code 4), N-substitutable 2,
//        O-substitutable 3, 4, 6; blocks #gal, then #galn, then #Gan
//   Alx  2,6-dideoxy hexopyranose, class all (equatorial 3: ring code 2), O-substitutable 3, 4;
//        every effect on it is zero (see kAlphaAlx below)
//   Acy  N-linked non-sugar of two carbons (C1 peculiarity c), substitutable nowhere
//   Gol  alditol of three carbons, class ald3, O-substitutable 2, 3
//
// Ring corrections (added to C2 and C5): alpha, even ring code: C2 0, C5 +0.5; beta,
// ring code 4: C2 -1.4, C5 0; beta, any other code: C2 -1.0, C5 0.
#pragma once

#include <string>

#include "support/temp_dir.hpp"

namespace glycomb::testing {

inline constexpr char kTestNamesFile[] =
    "; Residues of the end-to-end tests\n"
    "Hex /2oa 3oa 4oa 5da 6oc\n"
    "Gan /2na 3oa 4oe 5da 6oc\n"
    "Alx /2da 3oe 4oa 5da 6dc\n"
    "Acy /2dc non Nlink Catt\n"
    "Gol /2oc 3oc ald\n";

// Column ruler of the c13data lines:
//          1         2         3         4         5         6         7         8
// 12345678901234567890123456789012345678901234567890123456789012345678901234567890

// Terminal Hex, alpha: 93.0 72.0 74.0 71.0 72.0 62.0. One-substituent sets at position 3 for an
// alpha Hex (C1 effect 6.5) and for a beta Gan (C1 effect 7.5); a two-substituent set for a beta
// Gan at 4 and a beta Hex at 6 (C1 effects 8.0 and 6.0).
inline constexpr char kAlphaHex[] =
    "; alpha Hex\n"
    "xX(2x,2x,XX,x)0/xX(2x,2x,XX,x)0-> 0.0  0.0  93.0  72.0  74.0  71.0  72.0  62.0\n"
    "aS(2O,2A,DD,N)3/xX(2x,2x,XX,x)0-> 6.5  0.0  93.0  70.5  82.5  70.0  72.0  61.5\n"
    "bS(2N,2A,DD,N)3/xX(2x,2x,XX,x)0-> 7.5  0.0  93.5  71.0  83.0  70.0  72.5  61.5\n"
    "bS(2N,2A,DD,N)4/bS(2O,2A,DD,N)6-> 8.0  6.0  93.0  72.0  73.0  79.0  71.0  68.0\n";
// Terminal Hex, beta: 97.0 75.0 77.0 71.0 77.0 62.0.
inline constexpr char kBetaHex[] =
    "xX(2x,2x,XX,x)0/xX(2x,2x,XX,x)0-> 0.0  0.0  97.0  75.0  77.0  71.0  77.0  62.0\n";
// Terminal Gan, alpha: 92.0 51.0 69.0 70.0 72.0 62.0; beta: 102.0 56.0 73.0 69.0 76.0 62.0.
inline constexpr char kAlphaGan[] =
    "xX(2x,2x,XX,x)0/xX(2x,2x,XX,x)0-> 0.0  0.0  92.0  51.0  69.0  70.0  72.0  62.0\n";
inline constexpr char kBetaGan[] =
    "xX(2x,2x,XX,x)0/xX(2x,2x,XX,x)0-> 0.0  0.0 102.0  56.0  73.0  69.0  76.0  62.0\n";
// Alx: the beta form is 1.5 ppm higher at C1, which its ring corrections (C2 -1.0, C5 0 against
// C2 0, C5 +0.5 for alpha) take back: either form sums to 740.7 ppm over its six carbons.
inline constexpr char kAlphaAlx[] =
    "xX(2x,2x,XX,x)0/xX(2x,2x,XX,x)0-> 0.0  0.0 150.0 120.0 130.0 140.0 130.0  70.2\n";
inline constexpr char kBetaAlx[] =
    "xX(2x,2x,XX,x)0/xX(2x,2x,XX,x)0-> 0.0  0.0 151.5 120.0 130.0 140.0 130.0  70.2\n";
// Acy: 175.0 9.5. Gol: 63.0 73.0 63.0.
inline constexpr char kAcy[] = "xX(2x,2x,XX,x)0/xX(2x,2x,XX,x)0-> 0.0  0.0 175.0   9.5\n";
inline constexpr char kGol[] = "xX(2x,2x,XX,x)0/xX(2x,2x,XX,x)0-> 0.0  0.0  63.0  73.0  63.0\n";

// Column ruler of the effect lines:
//          1         2         3         4         5
// 12345678901234567890123456789012345678901234567890
inline constexpr char kTestEffectsFile[] =
    "; Effects of the end-to-end tests\n"
    "#glc\n"
    "noaDDaS2 ->  4.0 /  0.0  8.0 -1.0  0.0  0.0  0.0\n"
    "noaDDaS3 ->  5.5 /  0.0 -1.0  8.5 -0.5  0.0  0.0\n"
    "noaDDaS4 ->  3.0 /  0.0  0.0 -1.0  7.0 -1.0  0.0\n"
    "noaDDaS6 ->  2.0 /  0.0  0.0  0.0  0.0 -1.5  6.5\n"
    "noaDDbS3 ->  7.0 /  0.0 -1.5  9.0 -0.5  0.0  0.0\n"
    "nneDDxP4 ->  0.0 /  0.0  0.0 -0.5  4.0 -0.5  0.0\n"
    "nneDLxP2 ->  0.0 /  0.0  4.0 -0.5  0.0  0.0  0.0\n"
    "nneDLxP3 ->  0.0 /  0.0 -0.5  4.0 -0.5  0.0  0.0\n"
    "nneDLxP4 ->  0.0 /  0.0  0.0 -0.5  4.0 -0.5  0.0\n"
    "nneDLxP6 ->  0.0 /  0.0  0.0  0.0  0.0 -0.5  4.5\n"
    "#Hex\n"
    "#gal\n"
    "nnaDDaS3 ->  6.0 /  0.0 -1.0  9.0  0.0  0.0  0.0\n"
    "nnaDDaS4 ->  1.0 /  0.0  0.0  0.0  1.0  0.0  0.0  ; replaced by #Gan\n"
    "nnaDDaS6 ->  3.0 /  0.0  0.0  0.0  0.0 -2.0  7.0\n"
    "#galn\n"
    "noaDDaS4 ->  4.5 /  0.0  0.0 -1.5  8.0 -2.0  0.0\n"
    "#Gan\n"
    "nnaDDaS4 ->  5.0 /  0.0  0.0 -1.0  8.0 -1.0  0.0\n"
    "#all\n"
    "ndoDDaS3 ->  0.0 /  0.0  0.0  0.0  0.0  0.0  0.0\n"
    "ndoDLaS3 ->  0.0 /  0.0  0.0  0.0  0.0  0.0  0.0\n"
    "ndoDDbS3 ->  0.0 /  0.0  0.0  0.0  0.0  0.0  0.0\n"
    "ndoDLbS3 ->  0.0 /  0.0  0.0  0.0  0.0  0.0  0.0\n"
    "ndoDDaS4 ->  0.0 /  0.0  0.0  0.0  0.0  0.0  0.0\n"
    "ndoDLaS4 ->  0.0 /  0.0  0.0  0.0  0.0  0.0  0.0\n"
    "ndoDDbS4 ->  0.0 /  0.0  0.0  0.0  0.0  0.0  0.0\n"
    "ndoDLbS4 ->  0.0 /  0.0  0.0  0.0  0.0  0.0  0.0\n"
    "#Alx\n"
    "#ald3\n"
    "noaDDaS2 ->  5.0 / -1.5  7.0 -1.5\n"
    "noaDDaS3 ->  5.0 /  0.0 -1.0  6.0\n"
    "nneDLxP2 ->  0.0 / -1.0  4.5 -1.0\n"
    "nneDLxP3 ->  0.0 /  0.0 -1.0  3.5\n"
    "#Gol\n"
    "#non\n"
    "#Acy\n"
    "#P\n"
    "noaXXaS1 ->  2.5 / -1.0\n"
    "noaXXbS1 ->  2.0 / -1.0\n"
    "nnaXXaS1 ->  2.5 / -1.0\n"
    "nnaXXbS1 ->  2.0 / -1.0\n"
    "ndoXXaS1 ->  0.0 /  0.0\n"
    "ndoXXbS1 ->  0.0 /  0.0\n"
    "nooXXxA1 ->  3.5 / -1.5\n"
    "#\n";

// Writes NAMES.PS, EFFECTS.PS and the c13data files into `dir`.
inline void WriteTestReferenceData(const TempDir& dir) {
  dir.Write("NAMES.PS", kTestNamesFile);
  dir.Write("EFFECTS.PS", kTestEffectsFile);
  dir.Write("c13data/A-HEX.DAT", kAlphaHex);
  dir.Write("c13data/B-HEX.DAT", kBetaHex);
  dir.Write("c13data/A-GAN.DAT", kAlphaGan);
  dir.Write("c13data/B-GAN.DAT", kBetaGan);
  dir.Write("c13data/A-ALX.DAT", kAlphaAlx);
  dir.Write("c13data/B-ALX.DAT", kBetaAlx);
  dir.Write("c13data/C-ACY.DAT", kAcy);
  dir.Write("c13data/C-GOL.DAT", kGol);
}

}  // namespace glycomb::testing
