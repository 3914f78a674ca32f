// Looking files up in catalogues of known good dumps: the DATs a call
// names, and the entries a file's forms match.
#pragma once

#include <string>
#include <vector>

#include "qdkit/dat.h"
#include "qdkit/hashes.h"
#include "qdkit/report.h"

// Reads and parses every DAT; false, each error told, when one cannot be.
bool LoadDats(const std::vector<std::string>& paths, std::vector<Dat>& dats);

struct DatMatch {
    const Dat* dat;
    const DatRom* rom;
    Form form;
};

struct FormDigests {
    Form form;
    Digests digests;
};

// The forms' digests, and the file's own last where it is none of them.
std::vector<FormDigests> DigestForms(const std::vector<FormBytes>& forms, const Digests& file);
// Every entry a form matches, each entry once, by the first form that does.
std::vector<DatMatch> FindMatches(const std::vector<Dat>& dats,
                                  const std::vector<FormDigests>& forms);
// "\"Game (Japan)\" rom \"Game (Japan).fds\" (headerless image)"
std::string MatchText(const DatMatch& match);
// dat, game, rom, form
Json MatchJson(const DatMatch& match);
