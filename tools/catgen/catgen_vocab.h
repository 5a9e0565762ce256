#pragma once
// Word lists the sample catalogue is made of: cities with their districts and
// streets, the classification with goods and services, names of firms and
// people. Texts are UTF-16 literals; the generator encodes them once.

#include <vector>

namespace catgen {

struct SubsectionDef {
    int gid;
    const char16_t *name;
    bool service;
    int minPrice; // roubles
    int maxPrice;
    std::vector<const char16_t *> items;
};

struct SectionDef {
    int superId;
    const char16_t *name;
    const char16_t *firmWord; // part of firm names ("Строй")
    const char *firmLatin;    // the same for web addresses ("stroy")
    bool foreignPrices;       // prices sometimes in dollars or euros
    std::vector<SubsectionDef> subs;
};

struct StreetDef {
    const char16_t *name;
    int typeId;
};

struct CityDef {
    int cid;
    const char16_t *name;
    int goodsWeight;                              // share of the goods; 0: firms without goods only
    int phoneDigits;                              // length of a local number
    std::vector<const char16_t *> districts;      // besides the whole-city entry
    std::vector<const char16_t *> microDistricts; // besides "--"
    std::vector<StreetDef> streets;               // besides the shared ones
    std::vector<const char16_t *> transportExtra; // e.g. metro stations
};

struct StreetTypeDef {
    int id;
    const char16_t *nameSmall;
};

const std::vector<CityDef> &Cities();
const std::vector<SectionDef> &Sections();
const std::vector<StreetTypeDef> &StreetTypes();
const std::vector<StreetDef> &SharedStreets();

// Street type id that no street_type row has.
constexpr int kMissingStreetType = 99;
// Street type whose abbreviation is empty.
constexpr int kEmptyStreetType = 9;

struct NameWord {
    const char16_t *text;
    const char *latin;
};

const std::vector<const char16_t *> &LegalForms();
const std::vector<NameWord> &FirmWords();
const std::vector<const char16_t *> &Surnames(); // male form
const std::vector<const char16_t *> &MaleNames();
const std::vector<const char16_t *> &FemaleNames();
const std::vector<const char16_t *> &MalePatronymics();
const std::vector<const char16_t *> &FemalePatronymics();
const std::vector<const char16_t *> &Posts();
const std::vector<const char16_t *> &GoodsSuffixes();
const std::vector<const char16_t *> &ServiceSuffixes();
const std::vector<const char16_t *> &AddressExtras();
const std::vector<const char16_t *> &WorkTimeWho();
const std::vector<const char16_t *> &WebWho();
const std::vector<const char16_t *> &BranchSuffixes();
const std::vector<const char16_t *> &GeneralAttrs();

struct DiscountDef {
    const char *tp;
    const char16_t *name;
    const char *startDate;
    const char *endDate;
};
const std::vector<DiscountDef> &Discounts();

// Firms whose names hold the characters that need care in SQL and HTML.
const std::vector<const char16_t *> &HardFirmNames();

} // namespace catgen
