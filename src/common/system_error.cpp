#include "common/system_error.h"

#include <cerrno>
#include <cstring>

QString systemErrorText(int errorNumber)
{
    switch (errorNumber) {
    case ENOENT: return QStringLiteral("Aucun fichier ou dossier de ce type");
    case ENOTDIR: return QStringLiteral("N'est pas un dossier");
    case EISDIR: return QStringLiteral("Est un dossier");
    case EACCES:
    case EPERM: return QStringLiteral("Permission non accordée");
    case EROFS: return QStringLiteral("Système de fichiers accessible en lecture seulement");
    case ENOSPC: return QStringLiteral("Aucun espace disponible sur le périphérique");
    case EDQUOT: return QStringLiteral("Quota d'espace disque dépassé");
    case EFBIG: return QStringLiteral("Fichier trop volumineux");
    case EIO: return QStringLiteral("Erreur d'entrée/sortie");
    case ENAMETOOLONG: return QStringLiteral("Nom de fichier trop long");
    case ELOOP: return QStringLiteral("Trop de niveaux de liens symboliques");
    case EBUSY: return QStringLiteral("Périphérique ou ressource occupé");
    case EEXIST: return QStringLiteral("Le fichier existe");
    case ENXIO: return QStringLiteral("Aucun périphérique ou adresse");
    case ESPIPE: return QStringLiteral("Pas un fichier ordinaire (tube ou périphérique)");
    case EMFILE:
    case ENFILE: return QStringLiteral("Trop de fichiers ouverts");
    case ENOMEM: return QStringLiteral("Mémoire insuffisante");
    default: return QString::fromLocal8Bit(std::strerror(errorNumber));
    }
}
