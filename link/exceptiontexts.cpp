#include "link/exceptiontexts.h"

QString ExceptionReplyText(quint8 code) {
    switch (code) {
        case 0:
            return QStringLiteral("MB_EX_NONE");
        case 1:
            return QStringLiteral("Код запроса не поддерживается");
        case 2:
            return QStringLiteral("Адрес данных указанный в запросе не доступен");
        case 3:
            return QStringLiteral("Данные в запросе являются недопустимой величиной");
        case 4:
            return QStringLiteral("Невосстанавливаемая ошибка");
        case 5:
            return QStringLiteral("Обработка запроса требует много времени");
        case 6:
            return QStringLiteral("Подчиненный занят обработкой команды");
        case 7:
            return QStringLiteral("На изменяемый параметр установлена аппаратная защита");
        case 8:
            return QStringLiteral("Ошибка паритета");
        case 10:
            return QStringLiteral("MB_EX_GATEWAY_PATH_FAILED");
        case 11:
            return QStringLiteral("MB_EX_GATEWAY_TGT_FAILED");
        case 64:
            return QStringLiteral("Начало информации не кратно размерности");
        case 65:
            return QStringLiteral("Размер запрашиваемой информации превышает допустимую величину");
        case 66:
            return QStringLiteral("По запрашиваемому адресу информация отсутствует или закрыта");
        case 67:
            return QStringLiteral("Не указан точный размер информации");
        case 68:
            return QStringLiteral("недопустимый сетевой адрес");
        case 69:
            return QStringLiteral("Попытка установить недопустимое значение");
        case 70:
            return QStringLiteral("На изменяемый параметр установлена аппаратная защита");
        case 71:
            return QStringLiteral("Передан неверный пароль");
        default:
            return {};
    }
}
