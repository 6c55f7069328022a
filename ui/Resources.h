#pragma once

// The program's compiled-in resources: pictures, icon and sounds. They live in the static window
// library, so they are registered explicitly once a Q(Gui)Application exists.

#include <QPixmap>
#include <QSize>
#include <QString>

// Registers the resources; safe to call more than once.
void InitialiseKavenraResources();

// Vector artwork drawn at the screen's pixel density, scaled to fit the bounds with its
// proportions kept and centred, so pictures stay sharp on scaled displays. Transparent when the
// artwork cannot be read.
QPixmap RenderVectorPicture(const QString& resource, QSize bounds, qreal devicePixelRatio);

namespace kavenra::resource {

inline const QString ProgramIcon = QStringLiteral(":/kavenra/images/kavenra.svg");
inline const QString InformationPicture = QStringLiteral(":/kavenra/images/informacion.svg");
inline const QString QuestionPicture = QStringLiteral(":/kavenra/images/question.svg");
inline const QString SearchPicture = QStringLiteral(":/kavenra/images/busqueda.svg");
inline const QString BombPicture = QStringLiteral(":/kavenra/images/bomba.svg");
inline const QString CompassPicture = QStringLiteral(":/kavenra/images/brujula.svg");

// The WAVE file of a numbered sound resource (100, 200).
QString SoundFile(int resourceId);

}  // namespace kavenra::resource
