#include "core/PaperSize.h"

namespace kalto {

bool usesLetterPaper(const QLocale& locale) {
    using T = QLocale::Territory;
    static const T letter[] = {T::Belize,     T::Canada,      T::Chile,         T::Colombia,   T::CostaRica,
                               T::ElSalvador, T::Guatemala,   T::Mexico,        T::Nicaragua,  T::Panama,
                               T::Philippines, T::PuertoRico, T::UnitedStates,  T::Venezuela};
    for (T t : letter)
        if (locale.territory() == t) return true;
    return false;
}

}  // namespace kalto
