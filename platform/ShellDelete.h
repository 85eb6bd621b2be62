// Deletes a batch of paths the way the desktop does: to the trash, and for
// what cannot go to the trash, permanently after one question.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

// Asked once per batch, with how many paths could not be trashed; true means
// "delete them permanently".
using PermanentDeleteQuestion = std::function<bool(std::size_t count)>;

// `batch` holds every path followed by a NUL, and one more NUL at its end.
// Every path is moved to the trash; the ones that cannot be are deleted
// permanently when `askPermanent` agrees. Each path's folder part is followed
// as given, its last name is the entry itself (a link goes as a link), and
// the entry is then reached only through its open folder. The root folder
// and mount points are never moved nor wiped (EBUSY). What is deleted for
// good after the question is the entry that was there before it: one that
// was replaced or (for anything but a folder) changed meanwhile stays, with
// ESTALE; so does an entry that another took the place of on its way to the
// trash (that one is put back). A folder with a volume mounted anywhere inside it is never moved
// nor deleted (EBUSY). Returns 0 when every path went, otherwise a non-zero
// code: the errno of the first failure, or ECANCELED when the permanent
// deletion was declined; `firstMessage` then says what went wrong with it.
int ShellDelete(const std::string &batch, const PermanentDeleteQuestion &askPermanent,
                std::string *firstMessage = nullptr);

// True for a folder that holds no entries but "." and ".."; false for
// anything else, a link to a folder included.
bool IsEmptyFolder(const std::string &path);
