import ast
import errno
from pathlib import Path

import lkmdb7
import pytest


@pytest.fixture
def plain(tmp_path):
    """A database without a password, so that its texts lie in the file as they are."""
    db = lkmdb7.create(tmp_path)
    db.add("Web Login", ["alice", "hunter2-secret", "https://mail.example"], mask=0b10,
           note="recovery code 1234")
    db.add("Web Login", ["Bob", "pw", "https://bank.example"], category="Bank")
    db.add("Note", ["alice,bob"], note="Alice\nsecond line")
    db.save()
    return tmp_path


def file_bytes(folder):
    return (folder / "LockmeraDatabase.lkb").read_bytes()


def test_delete_keeps_the_record_in_the_file_until_purge(plain):
    db = lkmdb7.open(plain)
    alice = db.find("hunter2-secret")[0]
    db.delete(alice)
    db.save()
    # Kept, marked deleted, so that synced devices learn of the deletion.
    assert b"hunter2-secret" in file_bytes(plain)
    again = lkmdb7.open(plain)
    assert [r.id for r in again.deleted()] == [alice.id] and len(again) == 2
    assert again.deleted()[0].fields[1] == "hunter2-secret"

    assert again.purge() == 1
    assert again.deleted() == [] and len(again) == 2
    again.save()
    data = file_bytes(plain)
    assert b"hunter2-secret" not in data and b"recovery code" not in data
    assert sorted(r.fields[0] for r in lkmdb7.open(plain)) == ["Bob", "alice,bob"]


def test_undelete_takes_the_mark_off(plain):
    db = lkmdb7.open(plain)
    first, second, _ = db.records()
    db.delete(first)
    db.delete(second.id)
    db.undelete(first)
    db.undelete(second.id)
    db.undelete(second)  # not deleted: nothing happens
    assert db.deleted() == [] and len(db) == 3
    with pytest.raises(KeyError):
        db.undelete(12345)
    db.save()
    assert len(lkmdb7.open(plain)) == 3


def test_views_of_purged_records_raise_key_error(plain):
    db = lkmdb7.open(plain)
    gone, kept, _ = db.records()
    db.delete(gone)
    db.purge()
    with pytest.raises(KeyError):
        gone.fields
    with pytest.raises(KeyError):
        db.undelete(gone)
    kept[0] = "still here"
    assert db.record(kept.id)[0] == "still here"


@pytest.mark.parametrize(
    "text, options, found",
    [
        ("alice", {}, ["alice", "alice,bob"]),
        ("ALICE", {"match_case": True}, []),
        ("alice", {"match_case": True}, ["alice", "alice,bob"]),
        ("alice", {"whole_word": True}, ["alice", "alice,bob"]),  # "Alice" in the note
        ("alice", {"whole_word": True, "note": False}, ["alice"]),  # a comma joins words
        ("example", {"fields": [2]}, ["alice", "Bob"]),
        ("example", {"fields": [0, 1]}, []),
        ("hunter2", {"fields": [1]}, ["alice"]),  # a secret field, searched in clear
        ("recovery", {"fields": []}, ["alice"]),  # the note alone
        ("recovery", {"fields": [], "note": False}, []),
        ("second line", {}, ["alice,bob"]),
    ],
)
def test_find(plain, text, options, found):
    db = lkmdb7.open(plain)
    assert [r.fields[0] for r in db.find(text, **options)] == found


def test_find_skips_deleted_records_and_refuses_bad_arguments(plain):
    db = lkmdb7.open(plain)
    db.delete(db.find("hunter2")[0])
    assert [r.fields[0] for r in db.find("alice")] == ["alice,bob"]
    with pytest.raises(IndexError, match="field index 10"):
        db.find("x", fields=[10])
    with pytest.raises(TypeError, match="not str"):
        db.find("x", fields="01")
    with pytest.raises(IndexError):
        db.find("x", fields=[-2**70])
    with pytest.raises(lkmdb7.EncodingError, match="text"):
        db.find("\u2603")


def test_missing_and_existing_databases_raise_both_kinds_of_error(tmp_path, plain):
    missing = tmp_path / "nowhere"
    with pytest.raises(lkmdb7.DatabaseNotFoundError) as caught:
        lkmdb7.open(missing)
    assert isinstance(caught.value, FileNotFoundError) and isinstance(caught.value, lkmdb7.Error)
    assert (caught.value.errno, caught.value.filename) == (errno.ENOENT, str(missing))
    with pytest.raises(lkmdb7.DatabaseExistsError) as caught:
        lkmdb7.create(plain)
    assert isinstance(caught.value, FileExistsError) and isinstance(caught.value, lkmdb7.FileError)
    assert caught.value.errno == errno.EEXIST


def test_with_closes_without_saving(plain):
    with lkmdb7.open(plain) as db:
        record = db.records()[0]
        record[0] = "unsaved"
    assert db.closed
    for use in (len, lambda d: d.records(), lambda d: d.save(), lambda d: d.find("a"),
                lambda d: d.add("T"), lambda d: record.fields, lambda d: d.delete(record)):
        with pytest.raises(ValueError, match="closed"):
            use(db)
    db.close()  # again: nothing
    assert "alice" in [r.fields[0] for r in lkmdb7.open(plain)]


def test_fields_by_negative_index_and_slice(plain):
    db = lkmdb7.open(plain)
    record = db.records()[0]
    assert record[-10] == record[0] == "alice" and record[-8] == "https://mail.example"
    assert record[:3] == ("alice", "hunter2-secret", "https://mail.example")
    assert record[::-4] == (record[9], record[5], record[1])
    record[-1] = "last"
    record[3:5] = ["four", "five"]
    assert record.fields[3:5] == ("four", "five") and record[9] == "last"
    before = record.fields
    for index, value, error in [
        (10, "x", IndexError),
        (-11, "x", IndexError),
        (slice(0, 2), ["only one"], ValueError),
        (slice(0, 2), "ab", TypeError),
        (0, 5, TypeError),
        ("0", "x", TypeError),
        (2**70, "x", IndexError),
        (slice(0, 2), ["ok", "\u2603"], lkmdb7.EncodingError),
    ]:
        with pytest.raises(error):
            record[index] = value
    assert record.fields == before


def test_two_views_of_one_record_are_equal(plain):
    db = lkmdb7.open(plain)
    first, second, _ = db.records()
    again = db.record(first.id)
    assert again == first and hash(again) == hash(first) and len({first, again, second}) == 2
    assert first != second and first != first.id
    # The same record ID in another Database object is another record.
    assert lkmdb7.open(plain).record(first.id) != first


def members(cls):
    return {n for n in vars(cls) if not n.startswith("_") or n in DUNDERS}


DUNDERS = {"__getitem__", "__setitem__", "__len__", "__iter__", "__eq__", "__hash__",
           "__enter__", "__exit__"}


def test_every_member_has_a_docstring():
    undocumented = [
        f"{cls.__name__}.{name}"
        for cls in (lkmdb7.Database, lkmdb7.Record)
        for name in members(cls)
        if name != "__hash__" and not (getattr(cls, name).__doc__ or "").strip()
    ]
    undocumented += [name for name in lkmdb7.__all__
                     if name != "__version__" and not getattr(lkmdb7, name).__doc__]
    assert undocumented == []


def test_the_shipped_stubs_name_every_member():
    stubs = Path(lkmdb7.__file__).parent / "_lkmdb7.pyi"
    assert (Path(lkmdb7.__file__).parent / "py.typed").exists()
    tree = ast.parse(stubs.read_text())
    classes = {node.name: node for node in tree.body if isinstance(node, ast.ClassDef)}
    functions = {node.name for node in tree.body if isinstance(node, ast.FunctionDef)}
    assert set(lkmdb7.__all__) - {"__version__"} == set(classes) | functions
    for cls in (lkmdb7.Database, lkmdb7.Record):
        stubbed = {node.name for node in classes[cls.__name__].body
                   if isinstance(node, ast.FunctionDef)}
        assert members(cls) == stubbed, cls.__name__
