import lkmdb7
import pytest


def reopen(folder, password="s3cret"):
    return lkmdb7.open(folder, password)


def by_type(db):
    return {r.type: r for r in db}


def test_records_round_trip_with_non_ascii_texts(tmp_path):
    # Every byte of Windows-1252 has a character, the unassigned ones (U+0081 ...) included.
    texts = ["€uro ŠŽœÿ", "äöü ß", "\u0081\u008d\u008f\u0090\u009d", "tab\tand \\ backslash"]
    db = lkmdb7.create(tmp_path, "pässwörd€")
    added = db.add("Typ €", texts, category="Kategorie ä", note="line 1\nline 2", mask=0b101)
    assert added.fields[:4] == tuple(texts)
    db.save()

    again = lkmdb7.open(tmp_path, "pässwörd€")
    [record] = again.records()
    assert record.to_dict() == {
        "id": added.id,
        "type": "Typ €",
        "category": "Kategorie ä",
        "fields": texts + [""] * 6,
        "labels": list(record.labels),
        "note": "line 1\nline 2",
        "mask": 0b101,
    }
    assert again.types() == ["Typ €"]
    assert again.categories() == ["Kategorie ä"]
    assert again.to_dicts() == [record.to_dict()]


def test_edit_delete_and_save(vault):
    db = reopen(vault)
    assert len(db) == 2
    records = by_type(db)
    web, bank = records["Web Login"], records["Bank"]
    web[1] = "new pw"
    web.note = "changed"
    web.mask = 0b11
    web.category = "Unfiled"
    bank.type = "Web Login"
    # Getters show an edit at once.
    assert web.fields[1] == "new pw" and web.category == "Unfiled" and bank.type == "Web Login"
    db.delete(web.id)
    assert web.deleted and len(db) == 1
    with pytest.raises(KeyError):
        db.record(web.id)
    db.save()

    again = reopen(vault)
    [record] = again.records()
    assert record.id == bank.id and record.type == "Web Login"
    assert record.fields[:2] == ("1234 5678", "0000")
    assert record.note == "PIN\nat the branch"


def test_a_record_survives_the_deletion_of_another(vault):
    db = reopen(vault)
    first, second = db.records()
    db.delete(first)
    second[0] = "still here"
    assert db.record(second.id).fields[0] == "still here"


@pytest.mark.parametrize(
    "password, error, message",
    [
        ("wrong", lkmdb7.WrongPasswordError, "wrong password"),
        (None, lkmdb7.PasswordError, "this database needs a password"),
        ("", lkmdb7.PasswordError, "this database needs a password"),
    ],
)
def test_the_crib_refuses_a_wrong_or_missing_password(vault, password, error, message):
    with pytest.raises(error, match=message):
        lkmdb7.open(vault, password)


def test_without_a_crib_the_checksums_judge_the_password(vault):
    # The same enciphered records, but no crib: only their checksums tell a wrong key.
    path = vault / "LockmeraDatabase.lkb"
    data = path.read_bytes()
    path.write_bytes(bytes(40) + data[40:])
    assert len(reopen(vault)) == 2
    with pytest.raises(lkmdb7.WrongPasswordError, match="wrong password"):
        reopen(vault, "wrong")
    with pytest.raises(lkmdb7.PasswordError, match="needs a password"):
        reopen(vault, None)


def test_a_crib_from_another_file_does_not_show_its_records(tmp_path, vault):
    other = tmp_path / "other"
    db = lkmdb7.create(other, "another")
    db.add("Web", ["them", "secret"])
    db.save()
    path = other / "LockmeraDatabase.lkb"
    mine = (vault / "LockmeraDatabase.lkb").read_bytes()
    path.write_bytes(mine[:40] + path.read_bytes()[40:])
    with pytest.raises(lkmdb7.FormatError, match="fail their checksum under it"):
        lkmdb7.open(other, "s3cret")


def test_a_plain_database_with_a_damaged_record_opens_without_a_password(tmp_path):
    db = lkmdb7.create(tmp_path)
    db.add("T", ["Quebec"])
    db.save()
    path = tmp_path / "LockmeraDatabase.lkb"
    path.write_bytes(path.read_bytes().replace(b"Quebec", b"Qwebec"))
    assert [r.fields[0] for r in lkmdb7.open(tmp_path)] == ["Qwebec"]


def test_a_password_for_a_database_without_one_is_refused(tmp_path):
    plain, empty = tmp_path / "plain", tmp_path / "empty"
    db = lkmdb7.create(plain)
    db.add("Web", ["me"])
    db.save()
    lkmdb7.create(empty)
    for folder in (plain, empty):
        with pytest.raises(lkmdb7.PasswordError, match="this database has no password"):
            lkmdb7.open(folder, "s3cret")
    assert [r.fields[0] for r in lkmdb7.open(plain)] == ["me"]


def test_databases_with_different_passwords_side_by_side(tmp_path):
    # The library's record cipher is one per process; each database keys it for itself.
    a = lkmdb7.create(tmp_path / "a", "alpha")
    b = lkmdb7.create(tmp_path / "b", "beta")
    a.add("T", ["from a"])
    b.add("T", ["from b"])
    a.save()
    b.save()
    [ra] = lkmdb7.open(tmp_path / "a", "alpha").records()
    [rb] = lkmdb7.open(tmp_path / "b", "beta").records()
    assert (ra.fields[0], rb.fields[0]) == ("from a", "from b")


@pytest.mark.parametrize(
    "change",
    [
        lambda db, r: r.__setitem__(0, "日本"),
        lambda db, r: setattr(r, "note", "\u2603"),
        lambda db, r: r.__setitem__(1, "nul\0"),
        lambda db, r: db.add("Web \u4e00", ["x"]),
        lambda db, r: db.add("Web", ["x"], category="\U0001f600"),
        lambda db, r: db.add("Web", ["ok", "\u0100"]),
    ],
)
def test_characters_without_a_byte_change_nothing(vault, change):
    db = reopen(vault)
    before = db.to_dicts(), db.types(), db.categories()
    with pytest.raises(lkmdb7.EncodingError, match="U\\+") as caught:
        change(db, db.records()[0])
    assert isinstance(caught.value, ValueError)
    assert (db.to_dicts(), db.types(), db.categories()) == before


def test_refused_edits_leave_the_record_as_it_was(vault):
    db = reopen(vault)
    record = db.records()[0]
    before = record.to_dict()
    # The packed record's length is a 16-bit number.
    with pytest.raises(lkmdb7.InvalidArgumentError):
        record[2] = "x" * 70000
    with pytest.raises(lkmdb7.InvalidArgumentError):
        db.add("Web", ["x" * 70000])
    with pytest.raises(KeyError, match="no record type named 'Nope'"):
        record.type = "Nope"
    with pytest.raises(KeyError, match="no category named 'Nope'"):
        record.category = "Nope"
    with pytest.raises(IndexError):
        record[10] = "x"
    with pytest.raises(lkmdb7.InvalidArgumentError):
        db.add("Web", ["f"] * 11)
    assert record.to_dict() == before and len(db) == 2 and db.types() == ["Bank", "Web Login"]
    db.save()
    assert reopen(vault).to_dicts() == db.to_dicts()


def test_files_that_are_missing_taken_or_malformed(tmp_path, vault):
    with pytest.raises(FileNotFoundError):
        lkmdb7.open(tmp_path / "nowhere", "s3cret")
    with pytest.raises(FileExistsError):
        lkmdb7.create(vault, "s3cret")
    path = vault / "LockmeraDatabase.lkb"
    path.write_bytes(path.read_bytes()[:-30])
    with pytest.raises(lkmdb7.FormatError, match="LockmeraDatabase.lkb"):
        reopen(vault)


def test_a_damaged_record_is_shown_but_never_saved(tmp_path):
    db = lkmdb7.create(tmp_path)
    for name in ("Alpha", "Bravo", "Quebec"):
        db.add("T", [name])
    db.save()
    path = tmp_path / "LockmeraDatabase.lkb"
    data = path.read_bytes()
    assert data.count(b"Quebec") == 1
    path.write_bytes(data.replace(b"Quebec", b"Qwebec"))
    damaged = lkmdb7.open(tmp_path)
    assert "Qwebec" in [r.fields[0] for r in damaged]
    with pytest.raises(lkmdb7.FormatError, match="1 packed records fail their checksum"):
        damaged.save()
    assert path.read_bytes() == data.replace(b"Quebec", b"Qwebec")


def test_paths_name_the_file_or_its_folder(vault):
    by_folder = reopen(vault)
    by_file = reopen(vault / "LockmeraDatabase.lkb")
    assert by_folder.path == by_file.path == str(vault / "LockmeraDatabase.lkb")
    assert by_folder.to_dicts() == by_file.to_dicts()


def test_a_number_beyond_32_bits_names_no_record(vault):
    db = reopen(vault)
    record = db.records()[0]
    for number in (record.id + 2**32, record.id + 2**33):
        with pytest.raises(KeyError):
            db.record(number)
        with pytest.raises(KeyError):
            db.delete(number)
    assert len(db) == 2


@pytest.mark.parametrize("mask, accepted", [
    (0, True), (0x3FF, True), (0x400, False), (0x8000, False), (0xFFFF, False), (2**40, False)])
def test_masks_take_the_librarys_one_rule(vault, mask, accepted):
    db = reopen(vault)
    record = db.records()[0]
    before = db.to_dicts()
    if accepted:
        db.add("Web Login", ["x"], mask=mask)
        record.mask = mask
        assert record.mask == mask and len(db) == 3
        return
    with pytest.raises(lkmdb7.InvalidArgumentError, match=f"mask 0x{mask:X} "):
        db.add("Web Login", ["x"], mask=mask)
    with pytest.raises(lkmdb7.InvalidArgumentError, match=f"mask 0x{mask:X} "):
        record.mask = mask
    assert db.to_dicts() == before
