"""Password databases of Lockmera7DB.

Open one with its password (:func:`open`) or make one (:func:`create`), then read, add, edit,
find and delete its records and :meth:`Database.save` it. See ``help(lkmdb7.Database)``.
"""
from ._lkmdb7 import (
    Database,
    DatabaseExistsError,
    DatabaseNotFoundError,
    EncodingError,
    Error,
    FileError,
    FormatError,
    InvalidArgumentError,
    LockError,
    PasswordError,
    Record,
    WrongPasswordError,
    __version__,
    create,
    open,
)

__all__ = [
    "Database",
    "DatabaseExistsError",
    "DatabaseNotFoundError",
    "EncodingError",
    "Error",
    "FileError",
    "FormatError",
    "InvalidArgumentError",
    "LockError",
    "PasswordError",
    "Record",
    "WrongPasswordError",
    "__version__",
    "create",
    "open",
]
