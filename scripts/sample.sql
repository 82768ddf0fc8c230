-- The sample database that the sandbox loads: a little shop.
DROP DATABASE IF EXISTS shop;
CREATE DATABASE shop DEFAULT CHARACTER SET utf8mb4;
USE shop;

CREATE TABLE items (
    id INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
    name VARCHAR(100) NOT NULL,
    note VARCHAR(200) NULL,
    price DECIMAL(10,2) NULL,
    added DATE NULL,
    KEY idx_name (name)
) ENGINE=InnoDB COMMENT='商品';
INSERT INTO items (name, note, price, added) VALUES
    ('りんご', '青森県産', 120.00, '2026-01-05'),
    ('みかん', NULL, 80.50, '2026-01-06'),
    ('緑茶 500ml', '冷蔵', NULL, NULL),
    ('Coffee "Blend"', 'it''s \\ strong', 450.00, '2026-02-01'),
    ('醤油', NULL, 298.00, '2026-03-10');

CREATE TABLE access_log (
    id INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
    at DATETIME NOT NULL,
    path VARCHAR(255) NOT NULL
) ENGINE=MyISAM;
INSERT INTO access_log (at, path) VALUES
    ('2026-04-01 09:00:00', '/'), ('2026-04-01 09:00:05', '/items'), ('2026-04-01 09:01:00', '/cart');

CREATE TABLE customers (
    id INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
    name VARCHAR(100) NOT NULL,
    email VARCHAR(200) NULL
) ENGINE=InnoDB;
INSERT INTO customers (name, email) VALUES ('山田太郎', 'taro@example.com'), ('佐藤花子', NULL);

CREATE TABLE orders (
    id INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
    customer_id INT NOT NULL,
    ordered DATETIME NOT NULL,
    CONSTRAINT fk_orders_customer FOREIGN KEY (customer_id) REFERENCES customers (id)
) ENGINE=InnoDB;
INSERT INTO orders (customer_id, ordered) VALUES (1, '2026-05-01 10:00:00'), (2, '2026-05-02 11:30:00');

CREATE TABLE `order details` (
    order_id INT NOT NULL,
    item_id INT NOT NULL,
    quantity INT NOT NULL DEFAULT 1,
    PRIMARY KEY (order_id, item_id),
    CONSTRAINT fk_details_order FOREIGN KEY (order_id) REFERENCES orders (id),
    CONSTRAINT fk_details_item FOREIGN KEY (item_id) REFERENCES items (id)
) ENGINE=InnoDB;
INSERT INTO `order details` VALUES (1, 1, 3), (1, 2, 1), (2, 5, 2);

CREATE VIEW order_totals AS
    SELECT d.order_id, SUM(d.quantity * i.price) AS total
    FROM `order details` d JOIN items i ON i.id = d.item_id
    GROUP BY d.order_id;

DELIMITER //
CREATE PROCEDURE add_item(IN p_name VARCHAR(100), IN p_price DECIMAL(10,2))
BEGIN
    INSERT INTO items (name, price, added) VALUES (p_name, p_price, CURDATE());
END //
CREATE FUNCTION item_count() RETURNS INT READS SQL DATA
BEGIN
    RETURN (SELECT COUNT(*) FROM items);
END //
DELIMITER ;

CREATE USER IF NOT EXISTS 'clerk'@'localhost' IDENTIFIED BY 'clerk';
GRANT SELECT, INSERT ON shop.* TO 'clerk'@'localhost';
GRANT UPDATE, DELETE ON shop.items TO 'clerk'@'localhost';
FLUSH PRIVILEGES;
