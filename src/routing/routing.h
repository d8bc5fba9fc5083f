// Routing: the submix and VCA assignment matrices.
#ifndef ORVANE_ROUTING_H
#define ORVANE_ROUTING_H

class Fl_Double_Window;

Fl_Double_Window* make_window5();   // Submix Matrix
Fl_Double_Window* make_window6();   // VCA Matrix
void UpdateSubmix();
void UpdateVCA();
void SubmixToArray();
void VcaToArray();

#endif
