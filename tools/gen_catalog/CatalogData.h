#pragma once

#include <vector>

// Word lists of the sample catalogue, as UTF-8 literals. The generator turns them into Windows-1251 once.

// How a kind of product is packed; each maps to a few realistic pack/block/box standards.
enum class Packing { Small, Notebook, Ream, Household, Bulky };

struct KindDef {
    const char* pattern; // see NameTemplate
    const char* articlePrefix;
    int priceMin; // kopecks
    int priceMax;
    int grams; // one piece
    int cubicCm;
    Packing packing;
    int nds;
};

struct SubgroupDef {
    const char* name;
    std::vector<KindDef> kinds; // none: a subgroup the classifier keeps but nothing is sold in
};

struct GroupDef {
    const char* name;
    std::vector<SubgroupDef> subgroups;
};

struct ColourDef {
    const char* masculine;
    const char* feminine;
    const char* neuter;
    const char* plural;
};

struct CountryDef {
    const char* name;
    int weight;
    std::vector<int> barcodePrefixes; // three-digit EAN-13 prefixes
};

struct Packaging {
    int st1;
    int st2;
    int st3;
};

const std::vector<GroupDef>& catalogGroups();
const std::vector<ColourDef>& catalogColours();
const std::vector<const char*>& catalogModels();
const std::vector<const char*>& catalogTradeMarks();
const std::vector<CountryDef>& catalogCountries();
const std::vector<const char*>& catalogSellingPoints(); // phrases that pad the longest names
const std::vector<const char*>& cyrillicArticlePrefixes();
const std::vector<Packaging>& packagingsFor(Packing packing);
