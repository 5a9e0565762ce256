#pragma once
// The ten section switches of the organisation card, in the order of the
// print-settings dialog. The main window and the firm window build cards with
// every section; printing passes the user's choice.

struct TCardSections {
    bool Name = true;      // heading with the firm's name at this address
    bool Attr = true;      // kinds of activity, discounts and promotions
    bool Phone = true;     // telephones
    bool People = true;    // staff
    bool Post = true;      // address
    bool Transport = true; // directions inside the address (needs Post)
    bool Web = true;       // web sites, e-mail, ICQ
    bool Wt = true;        // working time
    bool Update = true;    // dates of the last change of data and price list
    bool Filial = true;    // the firm's other addresses

    static TCardSections All() { return {}; }
    static TCardSections None() { return {false, false, false, false, false, false, false, false, false, false}; }
};
