"""A host program that uses every call of the package; `mypy --strict` checks it against the
package's stubs as installed (.ci/python). It is checked, never run."""
import errno
import os

import lkmdb7


def export_logins(folder: str | os.PathLike[str], password: str) -> list[tuple[str, str]]:
    try:
        db = lkmdb7.open(folder, password)
    except lkmdb7.DatabaseNotFoundError as e:
        assert e.errno == errno.ENOENT
        return []
    except lkmdb7.WrongPasswordError:
        raise
    with db:
        logins: list[tuple[str, str]] = []
        for record in db:
            user: str = record[0]
            secret: str = record[-9]
            first_three: tuple[str, ...] = record[:3]
            logins.append((user, secret + str(len(first_three))))
        return logins


def tidy(folder: str, password: str | None) -> int:
    try:
        db = lkmdb7.create(folder, password)
    except lkmdb7.DatabaseExistsError:
        db = lkmdb7.open(folder, password)
    record = db.add("Web Login", ["alice", "pw"], category="Mail", note="n", mask=0b10)
    record[2:4] = ["https://example.org", ""]
    record.type = "Web Login"
    record.category = "Unfiled"
    record.note = record.note + "\nmore"
    record.mask = record.mask | 1
    found: list[lkmdb7.Record] = db.find("example", [2], match_case=False, whole_word=True,
                                         note=False)
    if found and found[0] == db.record(record.id):
        db.delete(found[0])
        db.undelete(found[0].id)
    db.delete(record)
    deleted: list[lkmdb7.Record] = db.deleted()
    purged: int = db.purge()
    names: list[str] = db.types() + db.categories()
    rows: list[dict[str, object]] = db.to_dicts() + [record.to_dict() for record in deleted]
    labels: tuple[str, ...] = record.labels if not record.deleted else ()
    db.save()
    db.close()
    print(db.path, db.has_password, db.closed, len(db), names, rows, labels, record.id,
          record.fields, lkmdb7.__version__, {record})
    return purged


def errors() -> list[type[lkmdb7.Error]]:
    return [lkmdb7.PasswordError, lkmdb7.FormatError, lkmdb7.LockError, lkmdb7.FileError,
            lkmdb7.EncodingError, lkmdb7.InvalidArgumentError]
