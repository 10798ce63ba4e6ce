#ifndef PAGEBACKGROUND_H
#define PAGEBACKGROUND_H

class QLabel;

// The picture VokFiles::backgroundImage(), stretched over a
// page's bottom-most label.
class PageBackground
{
public:
    static void apply(QLabel *label);
};

#endif // PAGEBACKGROUND_H
