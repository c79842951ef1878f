#include "ImageView.h"

namespace corvane::imaging {

TImageView::TImageView(QWidget* parent) : QAbstractScrollArea(parent) {}

void TImageView::SetPicture(Picture picture)
{
    m_picture = std::move(picture);
    emit ImageChange();
}

void TImageView::Clear()
{
    SetPicture({});
}

void TImageView::SetZoom(int percent)
{
    if (percent > 0)
        m_zoom = percent;
}

void TImageView::Fit() {}

void TImageView::Print(QPrinter&, double) {}

} // namespace corvane::imaging
